#include "filter_tool/plot.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "wav/finished_file.h"

namespace quenlow {
namespace {

// Below a panel's plotting area, in font heights: the tick labels and the
// axis label, then a row for each legend entry.
constexpr double kAxisLabelRoom = 3.6;
constexpr double kLegendRow = 1.4;

constexpr std::array<Rgb, 4> kPalette = {{{31, 90, 191}, {214, 80, 24}, {26, 150, 60}, {128, 50, 160}}};

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

double FontSize(int height, int panelCount) { return std::clamp(height / (50.0 + 15.0 * (panelCount - 1)), 9.0, 16.0); }

// A tick step of 1, 2 or 5 times a power of ten giving about `wanted` ticks.
double TickStep(double range, int wanted) {
  const double raw = range / wanted;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10.0 * power;
}

std::string TickText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", std::fabs(value) < 1e-9 ? 0.0 : value);
  return text;
}

void SetColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void ShowText(cairo_t* cr, double x, double y, const std::string& text, double alignX, double alignY) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  cairo_move_to(cr, x - alignX * extents.width - extents.x_bearing, y - alignY * extents.height - extents.y_bearing);
  cairo_show_text(cr, text.c_str());
}

void DrawGrid(cairo_t* cr, const PlotPanel& panel, const PanelFrame& f, double font) {
  cairo_set_line_width(cr, 1.0);
  const double xStep = TickStep(panel.xMax - panel.xMin, 10);
  for (double x = std::ceil(panel.xMin / xStep) * xStep; x <= panel.xMax + xStep * 1e-9; x += xStep) {
    const double px = std::round(f.XToPixel(x)) + 0.5;
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_move_to(cr, px, f.top);
    cairo_line_to(cr, px, f.top + f.height);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
    ShowText(cr, px, f.top + f.height + 0.5 * font, TickText(x * panel.xLabelScale), 0.5, 0.0);
  }
  const double yStep = TickStep(panel.yMax - panel.yMin, 8);
  for (double y = std::ceil(panel.yMin / yStep) * yStep; y <= panel.yMax + yStep * 1e-9; y += yStep) {
    const double py = std::round(f.YToPixel(y)) + 0.5;
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_move_to(cr, f.left, py);
    cairo_line_to(cr, f.left + f.width, py);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
    ShowText(cr, f.left - 0.5 * font, py, TickText(y), 1.0, 0.5);
  }
}

void DrawMarkers(cairo_t* cr, const PlotPanel& panel, const PanelFrame& f, double font) {
  const double dashes[] = {6.0, 4.0};
  for (std::size_t i = 0; i < panel.markers.size(); ++i) {
    const PlotMarker& marker = panel.markers[i];
    if (marker.x < panel.xMin || marker.x > panel.xMax) continue;
    const double px = std::round(f.XToPixel(marker.x)) + 0.5;
    cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
    cairo_set_dash(cr, dashes, 2, 0.0);
    cairo_move_to(cr, px, f.top);
    cairo_line_to(cr, px, f.top + f.height);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0.0);
    // Labels step down so that markers close together stay readable.
    ShowText(cr, px + 0.3 * font, f.top + (0.4 + 1.3 * static_cast<double>(i)) * font, marker.label, 0.0, 0.0);
  }
}

double Clamp(double y, const PlotPanel& panel) {
  if (std::isnan(y)) return panel.yMin;
  return std::clamp(y, panel.yMin - 1.0 * (panel.yMax - panel.yMin), panel.yMax + (panel.yMax - panel.yMin));
}

void DrawSeries(cairo_t* cr, const PlotPanel& panel, const PanelFrame& f) {
  cairo_save(cr);
  cairo_rectangle(cr, f.left, f.top, f.width, f.height);
  cairo_clip(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  for (std::size_t s = 0; s < panel.series.size(); ++s) {
    const PlotSeries& series = panel.series[s];
    SetColour(cr, SeriesColour(s));
    cairo_set_line_width(cr, panel.stems ? 1.6 : SeriesLineWidth(s, panel.series.size()));
    for (std::size_t i = 0; i < series.x.size(); ++i) {
      const double px = f.XToPixel(series.x[i]);
      const double py = f.YToPixel(Clamp(series.y[i], panel));
      if (panel.stems) {
        cairo_move_to(cr, px, f.YToPixel(0.0));
        cairo_line_to(cr, px, py);
        cairo_stroke(cr);
        cairo_arc(cr, px, py, 2.2, 0.0, 2.0 * std::numbers::pi);
        cairo_fill(cr);
      } else if (i == 0) {
        cairo_move_to(cr, px, py);
      } else {
        cairo_line_to(cr, px, py);
      }
    }
    if (!panel.stems) cairo_stroke(cr);
  }
  cairo_restore(cr);
}

int LegendRows(const PlotPanel& panel) {
  int rows = 0;
  for (const PlotSeries& series : panel.series) rows += series.label.empty() ? 0 : 1;
  return rows;
}

// Below the axis label, one row per labelled series, flush right.
void DrawLegend(cairo_t* cr, const PlotPanel& panel, const PanelFrame& f, double font) {
  double y = f.top + f.height + (kAxisLabelRoom + 0.7 * kLegendRow) * font;
  for (std::size_t s = 0; s < panel.series.size(); ++s) {
    if (panel.series[s].label.empty()) continue;
    cairo_text_extents_t extents;
    cairo_text_extents(cr, panel.series[s].label.c_str(), &extents);
    const double textLeft = f.left + f.width - extents.x_advance;
    SetColour(cr, SeriesColour(s));
    cairo_set_line_width(cr, 3.0);
    cairo_move_to(cr, textLeft - 2.3 * font, y);
    cairo_line_to(cr, textLeft - 0.5 * font, y);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    ShowText(cr, textLeft, y, panel.series[s].label, 0.0, 0.5);
    y += kLegendRow * font;
  }
}

void DrawNote(cairo_t* cr, const PlotPanel& panel, const PanelFrame& f, double font) {
  if (panel.note.empty()) return;
  cairo_set_font_size(cr, 1.1 * font);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, panel.note.c_str(), &extents);
  const double x = f.left + f.width / 2.0, y = f.top + f.height / 2.0;
  cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.9);
  cairo_rectangle(cr, x - extents.width / 2.0 - font, y - extents.height / 2.0 - 0.6 * font, extents.width + 2.0 * font,
                  extents.height + 1.2 * font);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.7, 0.1, 0.1);
  ShowText(cr, x, y, panel.note, 0.5, 0.5);
  cairo_set_font_size(cr, font);
}

void DrawPanel(cairo_t* cr, const PlotPanel& panel, const PanelFrame& f, double font) {
  cairo_set_font_size(cr, font);
  DrawGrid(cr, panel, f, font);
  DrawMarkers(cr, panel, f, font);
  DrawSeries(cr, panel, f);
  DrawNote(cr, panel, f, font);
  DrawLegend(cr, panel, f, font);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, std::round(f.left) + 0.5, std::round(f.top) + 0.5, std::round(f.width), std::round(f.height));
  cairo_stroke(cr);
  ShowText(cr, f.left + f.width / 2.0, f.top + f.height + 2.0 * font, panel.xLabel, 0.5, 0.0);
  cairo_save(cr);
  cairo_translate(cr, f.left - 4.2 * font, f.top + f.height / 2.0);
  cairo_rotate(cr, -std::numbers::pi / 2.0);
  ShowText(cr, 0.0, 0.0, panel.yLabel, 0.5, 0.5);
  cairo_restore(cr);
  cairo_set_font_size(cr, 1.2 * font);
  ShowText(cr, f.left + f.width / 2.0, f.top - 0.7 * font, panel.title, 0.5, 1.0);
}

}  // namespace

Rgb SeriesColour(std::size_t i) { return kPalette[i % kPalette.size()]; }

double SeriesLineWidth(std::size_t i, std::size_t count) { return 1.6 + 2.0 * static_cast<double>(count - 1 - i); }

bool IsPictureName(const std::string& path) {
  const std::string lower = Lower(path);
  return EndsWith(lower, ".png") || EndsWith(lower, ".svg");
}

PanelFrame FrameOf(const PlotPanel& panel, int index, int panelCount, int width, int height) {
  const double font = FontSize(height, panelCount);
  const double band = static_cast<double>(height) / panelCount;
  PanelFrame f;
  f.left = 6.0 * font;
  f.width = width - f.left - 1.5 * font;
  f.top = index * band + 2.6 * font;
  f.height = band - 2.6 * font - (kAxisLabelRoom + kLegendRow * LegendRows(panel)) * font;
  f.xMin = panel.xMin;
  f.xMax = panel.xMax;
  f.yMin = panel.yMin;
  f.yMax = panel.yMax;
  return f;
}

std::string DrawPicture(const std::string& path, int width, int height, const std::vector<PlotPanel>& panels) {
  if (!IsPictureName(path)) return "a picture's name must end in .png or .svg: " + path;
  if (width < 200 || height < 150 || width > 20000 || height > 20000) return "the picture's size must lie between 200x150 and 20000x20000";
  const bool svg = EndsWith(Lower(path), ".svg");
  // Drawn into memory, then written whole: a picture that cannot be written
  // leaves the old one as it was.
  std::string bytes;
  cairo_surface_t* surface = svg ? cairo_svg_surface_create_for_stream(AppendBytes, &bytes, width, height)
                                 : cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  // Sized in pixels, like the PNG, rather than cairo's default points.
  if (svg) cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
  cairo_paint(cr);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  const int count = static_cast<int>(panels.size());
  for (int i = 0; i < count; ++i) {
    DrawPanel(cr, panels[static_cast<std::size_t>(i)], FrameOf(panels[static_cast<std::size_t>(i)], i, count, width, height),
              FontSize(height, count));
  }
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status == CAIRO_STATUS_SUCCESS && !svg) status = cairo_surface_write_to_png_stream(surface, AppendBytes, &bytes);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) return "cannot draw " + path + ": " + cairo_status_to_string(status);
  const FinishedFileResult written = WriteFinishedFile(path, bytes);
  return written.Ok() ? std::string{} : FinishedFileFailureText(path, written);
}

}  // namespace quenlow
