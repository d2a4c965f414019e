// Pictures of the supplied filter: valid PNG and SVG files of the size asked
// for, with the response curve where the figures put it.
#include <cairo.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dsp/filter_response.h"
#include "dsp/filter_taps.h"
#include "filter_tool/design.h"
#include "filter_tool/plot.h"
#include "filter_tool/show.h"
#include "filter_tool/welch_command.h"
#include "support/failing_flush.h"
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

// Pixels of a colour near `colour` inside the rectangle.
int PixelsOf(cairo_surface_t* image, double left, double top, double width, double height, Rgb colour) {
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  int count = 0;
  for (int y = static_cast<int>(top) + 2; y < static_cast<int>(top + height) - 1; ++y) {
    for (int x = static_cast<int>(left) + 2; x < static_cast<int>(left + width) - 1; ++x) {
      const auto pixel = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
      const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      if (std::abs(r - colour.r) + std::abs(g - colour.g) + std::abs(b - colour.b) < 40) ++count;
    }
  }
  return count;
}

TEST(FilterPicture, TheScaleHoldsEveryPeakAndTapsAreNumberedFromOne) {
  // A gain of 9 at DC over a sum of 1: the curve rises 19 dB above DC.
  FilterTaps peaked{};
  peaked[0] = 5.0;
  peaked[1] = -4.0;
  const struct {
    const char* name;
    FilterTaps taps;
    double highestDb;
  } cases[] = {
      {"supplied", *LoadFilterTaps(kSuppliedFile), 0.0},
      {"peaked", peaked, 19.08},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<PlotPanel> panels = FilterPanels(c.taps, c.name, 44100.0, true, 800);
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_GE(panels[0].yMax, c.highestDb + 1.0);
    EXPECT_EQ(panels[0].note, "");
    ASSERT_EQ(panels[1].series[0].x.size(), static_cast<std::size_t>(TapCount));
    EXPECT_EQ(panels[1].series[0].x.front(), 1.0);
    EXPECT_EQ(panels[1].series[0].x.back(), static_cast<double>(TapCount));
    EXPECT_LE(panels[1].xMin, 0.0);
    EXPECT_GE(panels[1].xMax, TapCount + 1.0);
  }
}

TEST(FilterPicture, SaysWhatItCannotDraw) {
  FilterTaps infinite{};
  infinite[0] = 1.0;
  infinite[6] = std::numeric_limits<double>::infinity();
  FilterTaps nan{};
  nan[0] = std::numeric_limits<double>::quiet_NaN();
  FilterTaps zeroSum{};
  zeroSum[0] = 1.0;
  zeroSum[1] = -1.0;
  const struct {
    const char* name;
    FilterTaps taps;
    const char* note;
  } cases[] = {
      {"infinite", infinite, "tap 7 is not a finite number"},
      {"nan", nan, "tap 1 is not a finite number"},
      {"zero sum", zeroSum, "The DC gain is 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<PlotPanel> panels = FilterPanels(c.taps, c.name, 44100.0, false, 800);
    EXPECT_NE(panels[0].note.find(c.note), std::string::npos) << panels[0].note;
  }
}

TEST(FilterPicture, TheLegendLiesOutsideThePlotAndCoincidingTracesAllShow) {
  // Two spectra with the very same levels, and a third labelled but empty:
  // inside the plotting area the third's colour may not appear (it would
  // be its legend), and the first's must show beside the second's.
  Spectrum a{"a.wav", 48000.0, 64, 1, std::vector<double>(33, 1e-4)};
  Spectrum b = a;
  b.name = "b.wav";
  PlotPanel panel = SpectrumPanel({a, b}, std::nullopt);
  panel.series.push_back({"empty", {}, {}});
  const test::ScratchFolder folder;
  const std::string path = folder.Path("spectra.png");
  ASSERT_EQ(DrawPicture(path, 800, 500, {panel}), "");
  cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
  const PanelFrame f = FrameOf(panel, 0, 1, 800, 500);
  EXPECT_EQ(PixelsOf(image, f.left, f.top, f.width, f.height, SeriesColour(2)), 0);
  EXPECT_GT(PixelsOf(image, f.left, f.top, f.width, f.height, SeriesColour(0)), 100);
  EXPECT_GT(PixelsOf(image, f.left, f.top, f.width, f.height, SeriesColour(1)), 100);
  // Below the plot, the legend shows every labelled series.
  for (std::size_t s = 0; s < 3; ++s) {
    EXPECT_GT(PixelsOf(image, f.left, f.top + f.height, f.width, 500 - f.top - f.height, SeriesColour(s)), 10) << s;
  }
  cairo_surface_destroy(image);
}

TEST(FilterPicture, APictureThatCannotBeWrittenLeavesTheOldOne) {
  const std::vector<PlotPanel> panels = FilterPanels(FilterTaps{1.0}, "x", 44100.0, false, 400);
  for (const char* name : {"old.png", "old.svg"}) {
    SCOPED_TRACE(name);
    const test::ScratchFolder folder;
    folder.Write(name, test::Bytes{'o', 'l', 'd'});
    test::FailFlushesFrom(1);
    const std::string failure = DrawPicture(folder.Path(name), 400, 300, panels);
    test::FailFlushesFrom(0);
    EXPECT_NE(failure.find("the old file is as it was"), std::string::npos) << failure;
    EXPECT_EQ(FileText(folder.Path(name)), "old");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{name});
  }
}

TEST(FilterPicture, APictureNamedByALinkIsDrawnIntoItsTarget) {
  const test::ScratchFolder folder;
  ASSERT_EQ(symlink("target.svg", folder.Path("link.svg").c_str()), 0);
  ASSERT_EQ(DrawPicture(folder.Path("link.svg"), 400, 300, FilterPanels(FilterTaps{1.0}, "x", 44100.0, false, 400)), "");
  struct stat status {};
  ASSERT_EQ(lstat(folder.Path("link.svg").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_TRUE(FileText(folder.Path("target.svg")).starts_with("<?xml"));
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
