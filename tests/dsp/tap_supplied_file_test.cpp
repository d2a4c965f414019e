// The coefficient file that ships with the program: its layout, and the
// filter it describes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

#include "dsp/filter_taps.h"
#include "dsp/filter_response.h"

namespace quenlow {
namespace {

const std::string kSuppliedFile = QUENLOW_SOURCE_DIR "/data/recfilt.dat";
constexpr double kOutputRate = 176400.0;  // four times 44100 Hz
constexpr double kGridStep = 2.0;         // Hz

std::string FileText() {
  std::ifstream in(kSuppliedFile, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double Amplitude(const FilterTaps& taps, double f) { return SymmetricFilterGain(taps, f, kOutputRate); }

TEST(SuppliedFilterFile, HoldsOneExactlyReadableValuePerCrLfLine) {
  const std::string text = FileText();
  ASSERT_FALSE(text.empty()) << kSuppliedFile;
  const FilterTaps taps = ParseFilterTaps(text);
  std::size_t start = 0;
  for (int i = 0; i < TapCount; ++i) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "line " << i + 1 << " has no CR LF end";
    const std::string line = text.substr(start, end - start);
    // strtod rounds correctly, and 17 digits single out every double: our
    // reader must arrive at the same double.
    EXPECT_EQ(taps[i], std::strtod(line.c_str(), nullptr)) << "line " << i + 1 << ": " << line;
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "text after the last tap";
  EXPECT_EQ(LoadFilterTaps(kSuppliedFile), taps);
}

TEST(SuppliedFilterFile, IsSymmetricWithUnityGainAtDc) {
  const FilterTaps taps = ParseFilterTaps(FileText());
  double sum = 0.0;
  for (int i = 0; i < TapCount; ++i) {
    EXPECT_EQ(taps[i], taps[TapCount - 1 - i]) << "tap " << i;
    sum += taps[i];
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
}

struct Band {
  const char* name;
  double from_hz;
  double to_hz;
  double min_db;  // gain limits over the band
  double max_db;
};

constexpr Band kBands[] = {
    {"audio band", 0.0, 20000.0, -0.1, 0.1},
    {"images of 44100 Hz audio", 24100.0, kOutputRate / 2, -1000.0, -70.0},
};

TEST(SuppliedFilterFile, MeetsItsPassbandAndStopbandLimits) {
  const FilterTaps taps = ParseFilterTaps(FileText());
  for (const Band& band : kBands) {
    double lowest = INFINITY;
    double highest = -INFINITY;
    for (double f = band.from_hz; f <= band.to_hz; f += kGridStep) {
      const double db = 20.0 * std::log10(std::fabs(Amplitude(taps, f)));
      lowest = std::fmin(lowest, db);
      highest = std::fmax(highest, db);
    }
    EXPECT_GE(lowest, band.min_db) << band.name;
    EXPECT_LE(highest, band.max_db) << band.name;
    std::printf("%s: %.6f .. %.6f dB\n", band.name, lowest, highest);
  }
}

}  // namespace
}  // namespace quenlow
