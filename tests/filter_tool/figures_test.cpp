// The filter's figures against a direct DFT of the taps in long double, for
// the supplied file and designed filters; and what each design promises.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "dsp/filter_taps.h"
#include "filter_tool/design.h"
#include "filter_tool/filter_figures.h"

namespace quenlow {
namespace {

const std::string kSuppliedFile = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

// The angle is reduced to one turn before the sine and cosine are taken;
// the sums are kept in long double.
long double DirectGain(const FilterTaps& taps, double hz, double rate) {
  long double re = 0.0L, im = 0.0L;
  for (int k = 0; k < TapCount; ++k) {
    const long double turns = static_cast<long double>(hz) * k / rate;
    const double angle = static_cast<double>(2.0L * std::numbers::pi_v<long double> * (turns - std::floor(turns)));
    re += taps[static_cast<std::size_t>(k)] * std::cos(angle);
    im -= taps[static_cast<std::size_t>(k)] * std::sin(angle);
  }
  return std::hypot(re, im);
}

double DirectDb(const FilterTaps& taps, double hz, double rate, long double dc) {
  return static_cast<double>(20.0L * std::log10(DirectGain(taps, hz, rate) / dc));
}

// The highest gain over a band: a 10 Hz scan, then a 0.05 Hz one around its peak.
double DirectHighestDb(const FilterTaps& taps, double from, double to, double rate, long double dc) {
  double peakHz = from, peak = -INFINITY;
  for (double hz = from; hz <= to; hz += 10.0) {
    const double db = DirectDb(taps, hz, rate, dc);
    if (db > peak) {
      peak = db;
      peakHz = hz;
    }
  }
  for (double hz = std::max(from, peakHz - 10.0); hz <= std::min(to, peakHz + 10.0); hz += 0.05) {
    peak = std::fmax(peak, DirectDb(taps, hz, rate, dc));
  }
  return peak;
}


// The first frequency where the gain drops below `db`, by a 10 Hz scan and
// bisection of the direct sum.
double DirectFall(const FilterTaps& taps, double db, double rate, long double dc) {
  double hz = 0.0;
  while (DirectDb(taps, hz + 10.0, rate, dc) >= db) hz += 10.0;
  double low = hz, high = hz + 10.0;
  for (int i = 0; i < 50; ++i) {
    const double middle = (low + high) / 2.0;
    (DirectDb(taps, middle, rate, dc) >= db ? low : high) = middle;
  }
  return low;
}

FilterTaps Designed(DesignRequest request) {
  std::string error;
  const std::optional<FilterDesign> design = DesignFilter(request, error);
  EXPECT_TRUE(design) << error;
  return design ? design->taps : FilterTaps{};
}

// An asymmetric filter: a decaying exponential, whose delay at DC is
// sum(k h_k) / sum(h_k).
FilterTaps Decaying() {
  FilterTaps taps{};
  for (int k = 0; k < TapCount; ++k) taps[static_cast<std::size_t>(k)] = std::pow(0.9, k) / 10.0;
  return taps;
}

struct FigureCase {
  const char* name;
  FilterTaps taps;
  double inputRate;
};

TEST(FilterFigures, AgreeWithADirectDftOfTheTaps) {
  const FigureCase cases[] = {
      {"supplied file, 44.1 kHz", *LoadFilterTaps(kSuppliedFile), 44100.0},
      {"supplied file, 48 kHz", *LoadFilterTaps(kSuppliedFile), 48000.0},
      {"kaiser 90 dB, 48 kHz", Designed({48000.0, {}, DesignWindow::Kaiser, {}, {}, 90.0}), 48000.0},
      {"blackman, 20 kHz cutoff", Designed({44100.0, 20000.0, DesignWindow::Blackman, {}, {}, {}}), 44100.0},
      {"decaying exponential", Decaying(), 44100.0},
  };
  for (const FigureCase& c : cases) {
    SCOPED_TRACE(c.name);
    const double rate = 4.0 * c.inputRate;
    const FilterFigures f = MeasureFilter(c.taps, c.inputRate);
    long double dc = 0.0L, moment = 0.0L;
    for (int k = 0; k < TapCount; ++k) {
      dc += c.taps[static_cast<std::size_t>(k)];
      moment += static_cast<long double>(k) * c.taps[static_cast<std::size_t>(k)];
    }
    EXPECT_NEAR(f.dcGain, static_cast<double>(dc), 1e-14);

    double lowest = INFINITY, highest = -INFINITY;
    for (double hz = 0.0; hz <= 20000.0; hz += 2.0) {
      const double db = DirectDb(c.taps, hz, rate, dc);
      lowest = std::fmin(lowest, db);
      highest = std::fmax(highest, db);
    }
    EXPECT_NEAR(f.passbandLowestDb, lowest, 1e-4 + 1e-3 * std::fabs(lowest));
    EXPECT_NEAR(f.passbandHighestDb, highest, 1e-4 + 1e-3 * std::fabs(highest));

    EXPECT_NEAR(f.minus3DbHz, DirectFall(c.taps, -3.0, rate, dc), 0.01);
    EXPECT_NEAR(f.minus6DbHz, DirectFall(c.taps, -6.0, rate, dc), 0.01);
    EXPECT_NEAR(f.nyquistAttenuationDb, -DirectDb(c.taps, c.inputRate / 2.0, rate, dc), 1e-6);

    EXPECT_NEAR(f.stopbandAttenuationDb, -DirectHighestDb(c.taps, c.inputRate - 20000.0, rate / 2.0, rate, dc), 0.01);
    EXPECT_NEAR(f.groupDelayAtDc, static_cast<double>(moment / dc), 1e-6);
  }
}

TEST(FilterFigures, SymmetricTapsHaveAConstantDelayOfHalfTheLength) {
  const FilterFigures f = MeasureFilter(*LoadFilterTaps(kSuppliedFile), 44100.0);
  EXPECT_EQ(f.symmetry, TapSymmetry::Symmetric);
  EXPECT_NEAR(f.groupDelayLowest, 107.0, 1e-6);
  EXPECT_NEAR(f.groupDelayHighest, 107.0, 1e-6);
  EXPECT_EQ(MeasureFilter(Decaying(), 44100.0).symmetry, TapSymmetry::None);
}

TEST(FilterFigures, AllZeroTapsGiveNoRelativeFigures) {
  const FilterFigures f = MeasureFilter(FilterTaps{}, 44100.0);
  EXPECT_EQ(f.dcGain, 0.0);
  EXPECT_TRUE(std::isnan(f.stopbandAttenuationDb));
  EXPECT_TRUE(std::isnan(f.minus6DbHz));
}

// What design promises and the manual page states: the Kaiser window within
// 1 dB of its stopband attenuation, a fixed window within 3 dB, measured
// from the cutoff plus half the transition; -6 dB within 10 Hz of the cutoff.
struct DesignCase {
  const char* name;
  DesignRequest request;
  double toleranceDb;
};

TEST(FilterDesign, MeetsItsStatedFiguresWithinTheirTolerances) {
  const DesignCase cases[] = {
      {"kaiser, transition 4100 Hz", {44100.0, 22050.0, DesignWindow::Kaiser, {}, 4100.0, {}}, 1.0},
      {"kaiser, 90 dB at 48 kHz", {48000.0, {}, DesignWindow::Kaiser, {}, {}, 90.0}, 1.0},
      {"kaiser, 60 dB, 20 kHz cutoff", {44100.0, 20000.0, DesignWindow::Kaiser, {}, {}, 60.0}, 1.0},
      {"kaiser, beta 7.8", {44100.0, {}, DesignWindow::Kaiser, 7.8, {}, {}}, 1.0},
      {"blackman", {44100.0, {}, DesignWindow::Blackman, {}, {}, {}}, 3.0},
      {"hamming", {48000.0, {}, DesignWindow::Hamming, {}, {}, {}}, 3.0},
      {"hann", {44100.0, {}, DesignWindow::Hann, {}, {}, {}}, 3.0},
  };
  for (const DesignCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const std::optional<FilterDesign> design = DesignFilter(c.request, error);
    ASSERT_TRUE(design) << error;
    const double passbandTo = design->cutoffHz - design->transitionHz / 2.0;
    const double stopbandFrom = design->cutoffHz + design->transitionHz / 2.0;
    const FilterFigures f = MeasureFilter(design->taps, c.request.inputRate, {passbandTo, stopbandFrom});
    EXPECT_NEAR(f.stopbandAttenuationDb, design->attenuationDb, c.toleranceDb);
    EXPECT_NEAR(f.minus6DbHz, design->cutoffHz, 10.0);
    EXPECT_EQ(f.symmetry, TapSymmetry::Symmetric);
    EXPECT_NEAR(f.dcGain, 1.0, 1e-12);
    EXPECT_EQ(ParseFilterTaps(CoefficientText(design->taps)), design->taps);
  }
}

TEST(FilterDesign, RefusesRequestsThatMakeNoFilter) {
  const DesignRequest bad[] = {
      {32000.0, {}, DesignWindow::Kaiser, {}, {}, {}},
      {44100.0, 90000.0, DesignWindow::Kaiser, {}, {}, {}},
      {44100.0, {}, DesignWindow::Kaiser, 7.0, 4000.0, {}},
      {44100.0, {}, DesignWindow::Hann, {}, {}, 80.0},
      {44100.0, {}, DesignWindow::Kaiser, {}, {}, 5.0},
  };
  for (const DesignRequest& request : bad) {
    std::string error;
    EXPECT_FALSE(DesignFilter(request, error));
    EXPECT_FALSE(error.empty());
  }
}

// The least attenuation is sought from the stopband's first frequency on:
// the transition band just below it, louder, must not count. The edges fall
// between the points of the scan.
TEST(FilterFigures, TheStopbandScanStartsInsideTheStopband) {
  const FilterTaps supplied = *LoadFilterTaps(kSuppliedFile);
  const struct {
    double inputRate;
    BandEdges edges;
  } cases[] = {{44100.0, {}},
               {48000.0, {}},
               {44100.0, {20000.0, 24100.3}},
               {44100.0, {20000.0, 23000.7}},
               {44100.0, {20000.0, 22500.3}},
               {48000.0, {19000.0, 26001.1}}};
  for (const auto& c : cases) {
    const FilterFigures figures = MeasureFilter(supplied, c.inputRate, c.edges);
    EXPECT_GE(figures.stopbandWorstHz, figures.stopbandFromHz) << c.inputRate << " " << figures.stopbandFromHz;
  }
}
}  // namespace
}  // namespace quenlow
