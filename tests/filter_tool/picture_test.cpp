// Pictures of the supplied filter: valid PNG and SVG files of the size asked
// for, with the response curve where the figures put it.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dsp/filter_response.h"
#include "dsp/filter_taps.h"
#include "filter_tool/design.h"
#include "filter_tool/plot.h"
#include "filter_tool/show.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

const std::string kSuppliedFile = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The rows of a pixel column whose colour is near the series colour.
struct Rows {
  int first = -1;
  int last = -1;
};

Rows CurveRows(cairo_surface_t* image, int column, const PanelFrame& frame, Rgb colour) {
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  Rows rows;
  for (int y = static_cast<int>(frame.top) + 1; y < static_cast<int>(frame.top + frame.height); ++y) {
    const auto pixel = *reinterpret_cast<const std::uint32_t*>(data + y * stride + column * 4);
    const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    if (std::abs(r - colour.r) + std::abs(g - colour.g) + std::abs(b - colour.b) > 90) continue;
    if (rows.first < 0) rows.first = y;
    rows.last = y;
  }
  return rows;
}

struct PictureCase {
  const char* file;
  int width;
  int height;
  bool impulse;
  double inputRate;
};

TEST(FilterPicture, IsAValidPictureOfTheSizeAskedWithTheCurveWhereTheGainIs) {
  const FilterTaps taps = *LoadFilterTaps(kSuppliedFile);
  const PictureCase cases[] = {
      {"response.png", 1200, 700, false, 44100.0},
      {"both.png", 900, 1000, true, 48000.0},
      {"response.svg", 1200, 700, false, 44100.0},
      {"both.svg", 640, 480, true, 44100.0},
  };
  const test::ScratchFolder folder;
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder.Path(c.file);
    const std::vector<PlotPanel> panels = FilterPanels(taps, "recfilt.dat", c.inputRate, c.impulse, c.width);
    ASSERT_EQ(panels.size(), c.impulse ? 2u : 1u);
    ASSERT_EQ(DrawPicture(path, c.width, c.height, panels), "");

    if (std::string(c.file).ends_with(".svg")) {
      const std::string svg = FileText(path);
      EXPECT_TRUE(svg.starts_with("<?xml"));
      EXPECT_NE(svg.find("width=\"" + std::to_string(c.width) + "px\" height=\"" + std::to_string(c.height) + "px\""),
                std::string::npos);
      EXPECT_NE(svg.find("</svg>"), std::string::npos);
      continue;
    }
    cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), c.width);
    EXPECT_EQ(cairo_image_surface_get_height(image), c.height);
    // The curve crosses each of these columns at the gain the taps give
    // there, within two pixels: in the passband, at the input's Nyquist
    // frequency and in the stopband.
    const PanelFrame frame = FrameOf(panels[0], 0, static_cast<int>(panels.size()), c.width, c.height);
    const double outputRate = 4.0 * c.inputRate;
    const double dc = SymmetricFilterGain(taps, 0.0, outputRate);
    for (double hz : {10000.0, c.inputRate / 2.0, 0.3 * outputRate}) {
      const int column = static_cast<int>(frame.XToPixel(hz));
      const double columnHz = (column + 0.5 - frame.left) / frame.width * outputRate / 2.0;
      const double db = 20.0 * std::log10(std::fabs(SymmetricFilterGain(taps, columnHz, outputRate) / dc));
      const Rows rows = CurveRows(image, column, frame, SeriesColour(0));
      ASSERT_GE(rows.first, 0) << "no curve at " << hz << " Hz";
      if (hz < 0.2 * outputRate) {
        EXPECT_GE(frame.YToPixel(db), rows.first - 2.0) << hz << " Hz, " << db << " dB";
        EXPECT_LE(frame.YToPixel(db), rows.last + 2.0) << hz << " Hz, " << db << " dB";
      } else {
        // The stopband's lobes swing widely within a column; the curve stays
        // below the attenuation the figures give.
        EXPECT_GT(rows.first, frame.YToPixel(-75.0));
      }
    }
    cairo_surface_destroy(image);
  }
}

TEST(FilterPicture, RefusesANameOtherThanPngOrSvgAndAnUnwritablePlace) {
  const std::vector<PlotPanel> panels = FilterPanels(FilterTaps{1.0}, "x", 44100.0, false, 400);
  EXPECT_NE(DrawPicture("/tmp/picture.jpg", 400, 300, panels), "");
  EXPECT_NE(DrawPicture("/nonexistent/folder/picture.png", 400, 300, panels), "");
  EXPECT_NE(DrawPicture("/nonexistent/folder/picture.svg", 400, 300, panels), "");
}

// The response plot's floor is at or below every level it draws (down to
// the -200 dB it never goes below), whatever the filter.
TEST(FilterPicture, TheResponsePlotsFloorLiesAtOrBelowTheLowestLevel) {
  std::vector<FilterTaps> filters = {*LoadFilterTaps(kSuppliedFile)};
  for (const double beta : {2.0, 5.0, 12.0}) {
    DesignRequest request;
    request.beta = beta;
    std::string error;
    filters.push_back(DesignFilter(request, error)->taps);
  }
  DesignRequest rectangular;
  rectangular.window = DesignWindow::Rectangular;
  std::string error;
  filters.push_back(DesignFilter(rectangular, error)->taps);
  for (const FilterTaps& taps : filters) {
    const PlotPanel panel = FilterPanels(taps, "f", 44100.0, false, 800)[0];
    double lowest = 0.0;
    for (const double db : panel.series[0].y) {
      if (std::isfinite(db)) lowest = std::min(lowest, db);
    }
    EXPECT_LE(panel.yMin, std::max(lowest, -200.0)) << panel.yMin << " above " << lowest;
  }
}
}  // namespace
}  // namespace quenlow
