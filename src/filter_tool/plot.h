// Line charts drawn with cairo into PNG or SVG pictures: axes, grid, labels,
// legend and marked frequencies, one or more panels stacked top to bottom.
#pragma once

#include <string>
#include <vector>

namespace quenlow {

struct PlotSeries {
  std::string label;  // shown in the legend when not empty
  std::vector<double> x;
  std::vector<double> y;
};

struct PlotMarker {
  double x = 0.0;
  std::string label;
};

struct PlotPanel {
  std::string title;
  std::string xLabel;
  std::string yLabel;
  double xMin = 0.0, xMax = 1.0;
  double yMin = 0.0, yMax = 1.0;
  double xLabelScale = 1.0;  // tick labels show x times this (1e-3 for kHz)
  bool stems = false;        // draw each point as a stem from 0 (an impulse response)
  std::vector<PlotSeries> series;
  std::vector<PlotMarker> markers;
  std::string note;  // said across the plotting area, for what it cannot show
};

// Where a panel's plotting area lies in the picture, in pixels, and where a
// value falls in it. The legend lies below the plotting area, one row per
// labelled series, so that it never hides a trace.
struct PanelFrame {
  double left = 0.0, top = 0.0, width = 0.0, height = 0.0;
  double xMin = 0.0, xMax = 1.0, yMin = 0.0, yMax = 1.0;

  double XToPixel(double x) const { return left + (x - xMin) / (xMax - xMin) * width; }
  double YToPixel(double y) const { return top + (yMax - y) / (yMax - yMin) * height; }
};

PanelFrame FrameOf(const PlotPanel& panel, int index, int panelCount, int width, int height);

// The colour of series i, as 8-bit red, green and blue. Series are drawn in
// order, each narrower than the one before, so that where traces coincide
// every one still shows at the edges of the next.
struct Rgb {
  int r, g, b;
};
Rgb SeriesColour(std::size_t i);
double SeriesLineWidth(std::size_t i, std::size_t count);

// Whether the name ends in .png or .svg (any case).
bool IsPictureName(const std::string& path);

// Draws the panels into the file, PNG or SVG after its name's ending. Returns
// what went wrong, or an empty text.
std::string DrawPicture(const std::string& path, int width, int height, const std::vector<PlotPanel>& panels);

}  // namespace quenlow
