// The fast filtered pass against the reference arithmetic, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dsp/dither_draws.h"
#include "dsp/fast_filter_bound.h"
#include "dsp/fast_filter_kernel.h"
#include "dsp/fast_filter_phase.h"
#include "dsp/filtered_pass.h"
#include "dsp/reconstruction_filter.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "support/first_difference.h"
#include "support/full_scale_case.h"
#include "support/reference_chain.h"

namespace quenlow {
namespace {

using Samples = std::vector<std::int16_t>;

// Input signals, interleaved stereo, `frames` frames.
Samples QuietSignal(std::int64_t frames, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> small(-3, 3);
  Samples samples(static_cast<std::size_t>(2 * frames));
  for (auto& s : samples) s = static_cast<std::int16_t>(small(random));
  return samples;
}

Samples FullScaleNoise(std::int64_t frames, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> any(-32768, 32767);
  Samples samples(static_cast<std::size_t>(2 * frames));
  for (auto& s : samples) s = static_cast<std::int16_t>(any(random));
  return samples;
}

Samples FullScaleSquare(std::int64_t frames, int period) {
  Samples samples(static_cast<std::size_t>(2 * frames));
  for (std::int64_t i = 0; i < frames; ++i) {
    const bool high = (i / period) % 2 == 0;
    samples[static_cast<std::size_t>(2 * i)] = high ? 32767 : -32768;
    samples[static_cast<std::size_t>(2 * i + 1)] = high ? -32768 : 32767;
  }
  return samples;
}

// Taps like the supplied file's: a windowed sinc low-pass summing to about 1.
FilterTaps LowPassTaps() {
  FilterTaps taps{};
  double sum = 0.0;
  for (int k = 0; k < TapCount; ++k) {
    const double x = (k - 107) / 4.0;
    const double sinc = x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * (k - 107) / 108.0);
    taps[static_cast<std::size_t>(k)] = sinc * window;
    sum += sinc * window;
  }
  for (double& tap : taps) tap /= 4.0 * sum / 4.0;
  return taps;
}

FilterTaps RandomSignTaps(std::uint32_t seed, double magnitude) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-magnitude, magnitude);
  FilterTaps taps{};
  for (double& tap : taps) tap = value(random);
  return taps;
}

FilterTaps SubnormalTaps() {
  FilterTaps taps = LowPassTaps();
  for (int k = 0; k < TapCount; k += 3) taps[static_cast<std::size_t>(k)] = std::numeric_limits<double>::denorm_min() * (k + 1);
  taps[5] = -1e-310;
  return taps;
}

// Where the fast pass first differs from the reference, as text; empty when
// the bytes agree.
using test::FirstDifference;

std::vector<std::uint8_t> ExactPass(const Samples& samples, const FilterTaps& taps, UniformSource start) {
  const SignalInput input{samples.data(), static_cast<std::int64_t>(samples.size() / 2)};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(FilteredFrameCount(input.frames)) * kPackedFrameBytes);
  ProduceFilteredFramesExact(input, taps, start, 0, FilteredFrameCount(input.frames), bytes.data());
  return bytes;
}

// The fast pass in uneven pieces, the later half first.
std::vector<std::uint8_t> FastPass(FilteredPass& pass, std::int64_t frames) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * kPackedFrameBytes);
  const std::int64_t middle = frames / 2 + 3 <= frames ? frames / 2 + 3 : frames;
  for (std::int64_t first = middle; first < frames; first += 20011) {
    const std::int64_t count = std::min<std::int64_t>(20011, frames - first);
    pass.Produce(first, count, bytes.data() + first * kPackedFrameBytes);
  }
  pass.Produce(0, middle, bytes.data());
  return bytes;
}

struct Case {
  std::string name;
  Samples samples;
  FilterTaps taps;
};

void ExpectFastMatchesExact(const Case& c, int maxThreads) {
  const UniformSource start = JumpAhead(UniformSource{}, 12345);
  const SignalInput input{c.samples.data(), static_cast<std::int64_t>(c.samples.size() / 2)};
  const std::vector<std::uint8_t> exact = ExactPass(c.samples, c.taps, start);
  for (int threads = 1; threads <= maxThreads; ++threads) {
    FilteredPass pass(input, c.taps, start, threads);
    EXPECT_EQ(FirstDifference(FastPass(pass, FilteredFrameCount(input.frames)), exact), "")
        << c.name << " with " << threads << " threads";
  }
}

TEST(FilteredPass, MatchesTheReferenceForVariedSignalsAndTapsOnAnyThreadCount) {
  const FilterTaps lowPass = LowPassTaps();
  std::vector<Case> cases = {
      {"no input", {}, lowPass},
      {"one frame", FullScaleNoise(1, 1), lowPass},
      {"55 frames", FullScaleNoise(55, 2), lowPass},
      {"quiet", QuietSignal(1500, 3), lowPass},
      {"full-scale noise", FullScaleNoise(3000, 4), lowPass},
      {"full-scale square", FullScaleSquare(2500, 37), lowPass},
      {"random signs", FullScaleNoise(1200, 5), RandomSignTaps(6, 0.05)},
      {"subnormal taps", FullScaleNoise(800, 7), SubnormalTaps()},
      {"all taps subnormal", FullScaleNoise(300, 8), RandomSignTaps(9, 1e-310)},
      {"huge taps saturate", FullScaleSquare(600, 11), RandomSignTaps(10, 1e5)},
      {"square through random signs", FullScaleSquare(900, 3), RandomSignTaps(12, 0.02)},
  };
  for (const Case& c : cases) ExpectFastMatchesExact(c, 3);
}

TEST(FilteredPass, TakesTheExactPathForTapsThatAreNotFiniteOrTooLarge) {
  FilterTaps withNaN = LowPassTaps();
  withNaN[100] = std::numeric_limits<double>::quiet_NaN();
  FilterTaps withInfinity = LowPassTaps();
  withInfinity[3] = -std::numeric_limits<double>::infinity();
  const FilterTaps enormous = RandomSignTaps(13, 1e300);
  for (const FilterTaps& taps : {withNaN, withInfinity, enormous}) {
    const Samples samples = FullScaleNoise(40, 14);
    const SignalInput input{samples.data(), 40};
    FilteredPass pass(input, taps, UniformSource{}, 2);
    EXPECT_FALSE(pass.UsesFastPath());
    ExpectFastMatchesExact({"unusable taps", samples, taps}, 2);
  }
  EXPECT_TRUE(FilteredPass({}, LowPassTaps(), UniformSource{}, 1).UsesFastPath());
}

TEST(FilteredPass, EveryKernelThisProcessorRunsMatchesTheReference) {
  const Case c{"noise", FullScaleNoise(700, 15), RandomSignTaps(16, 0.03)};
  const SignalInput input{c.samples.data(), 700};
  const std::vector<std::uint8_t> exact = ExactPass(c.samples, c.taps, UniformSource{});
  for (const NamedPhaseKernel& kernel : AvailablePhaseKernels()) {
    FilteredPass pass(input, c.taps, UniformSource{}, 1);
    pass.SetKernelForTesting(kernel.kernel);
    EXPECT_EQ(FirstDifference(FastPass(pass, FilteredFrameCount(700)), exact), "") << kernel.name;
  }
}

// Taps of 1e5 that nearly cancel in every pair make the reference's rounding
// errors large (about 3e-4 in the quantiser's units) while the
// filtered values stay inside the range: many values then lie close enough to
// a rounding boundary for the fast path to be wrong about them. The bound,
// being for the worst case, sends every one of them to the exact path.
FilterTaps CancellingTaps() {
  std::mt19937 random(77);
  std::uniform_real_distribution<double> small(-0.01, 0.01);
  FilterTaps taps{};
  for (int k = 0; k < TapCount; ++k) {
    taps[static_cast<std::size_t>(k)] = (k == TapCount - 1 ? 0.0 : k % 2 ? -1e5 : 1e5) + small(random);
  }
  return taps;
}

int CountWrongFrames(const std::vector<std::uint8_t>& fast, const std::vector<std::uint8_t>& exact) {
  int wrong = 0;
  for (std::size_t i = 0; i < fast.size(); i += kPackedFrameBytes) {
    if (!std::equal(fast.begin() + static_cast<std::ptrdiff_t>(i), fast.begin() + static_cast<std::ptrdiff_t>(i + kPackedFrameBytes),
                    exact.begin() + static_cast<std::ptrdiff_t>(i))) {
      ++wrong;
    }
  }
  return wrong;
}

TEST(FilteredPass, CertificationBelowTheBoundLetsWrongSamplesThrough) {
  const FilterTaps taps = CancellingTaps();
  const Samples samples = FullScaleSquare(6000, 1000);
  const SignalInput input{samples.data(), 6000};
  const std::vector<std::uint8_t> exact = ExactPass(samples, taps, UniformSource{});

  FilteredPass sound(input, taps, UniformSource{}, 2);
  EXPECT_EQ(FirstDifference(FastPass(sound, FilteredFrameCount(6000)), exact), "");
  EXPECT_GT(sound.ExactRecomputations(), 0);

  for (double scale : {0.0, 1e-5}) {
    FilteredPass cut(input, taps, UniformSource{}, 2);
    cut.SetMarginScaleForTesting(scale);
    EXPECT_GT(CountWrongFrames(FastPass(cut, FilteredFrameCount(6000)), exact), 0) << "margin scale " << scale;
  }
}

// A certified value one past the range's end is saturated as the
// reference saturates it, on every kernel, loop and thread count.
TEST(FilteredPass, ACertifiedValueJustPastFullScaleSaturatesAsTheReferenceDoes) {
  constexpr std::int64_t kFrames = 150;
  const UniformSource start = JumpAhead(UniformSource{}, 16 * kFrames);
  for (bool positive : {true, false}) {
    const test::FullScaleCase c = test::MakeFullScaleCase(kFrames, start, positive);
    ASSERT_TRUE(test::FullScaleCaseHolds(c, start)) << "the crafted case no longer traps";
    const std::vector<std::uint8_t> exact = ExactPass(c.samples, c.taps, start);
    const std::int32_t reference = test::UnpackSample24(exact, static_cast<std::size_t>(2 * c.trapFrame));
    ASSERT_EQ(reference, positive ? kSample24Max : kSample24Min);
    const SignalInput input{c.samples.data(), kFrames};
    for (const NamedPhaseKernel& kernel : AvailablePhaseKernels()) {
      for (bool vector : {true, false}) {
        for (int threads = 1; threads <= 3; ++threads) {
          FilteredPass pass(input, c.taps, start, threads);
          pass.SetKernelForTesting(kernel.kernel);
          pass.SetVectorLoopForTesting(vector);
          EXPECT_EQ(FirstDifference(FastPass(pass, FilteredFrameCount(kFrames)), exact), "")
              << (positive ? "above" : "below") << " the range, " << kernel.name
              << (vector ? ", vector loop, " : ", plain loop, ") << threads << " threads";
        }
      }
    }
  }
}

// The reference's count of saturated samples and its largest |t|.
OutputLevels ReferenceLevels(const Samples& samples, const FilterTaps& taps, UniformSource start) {
  const auto frames = static_cast<std::int64_t>(samples.size() / 2);
  OutputLevels levels;
  UniformSource source = start;
  for (std::int64_t f = 0; f < FilteredFrameCount(frames); ++f) {
    for (int channel = 0; channel < 2; ++channel) {
      const double value = ExactFilteredValue(taps, samples.data() + channel, frames, 2, f);
      const std::uint32_t k1 = NextDraw(source);
      const std::uint32_t k2 = NextDraw(source);
      levels.clipped += int{QuantiseFilteredSample(value, k1, k2).clipped};
      levels.peak = std::max(levels.peak, std::fabs(value * kGainNumerator / 65536.0));
    }
  }
  return levels;
}

TEST(FilteredPass, CountsTheSamplesItSaturatesAndTheirPeakOnEveryKernelAndLoop) {
  FilterTaps overshooting = LowPassTaps();
  for (double& tap : overshooting) tap *= 1.3;
  const UniformSource start = JumpAhead(UniformSource{}, 777);
  const test::FullScaleCase edge = test::MakeFullScaleCase(150, start, false);
  const std::vector<Case> cases = {{"loud square", FullScaleSquare(1200, 37), overshooting},
                                   {"quiet", QuietSignal(600, 3), LowPassTaps()},
                                   {"one past the range", edge.samples, edge.taps}};
  for (const Case& c : cases) {
    const OutputLevels expected = ReferenceLevels(c.samples, c.taps, start);
    const SignalInput input{c.samples.data(), static_cast<std::int64_t>(c.samples.size() / 2)};
    for (const NamedPhaseKernel& kernel : AvailablePhaseKernels()) {
      for (bool vector : {true, false}) {
        FilteredPass pass(input, c.taps, start, 2);
        pass.SetKernelForTesting(kernel.kernel);
        pass.SetVectorLoopForTesting(vector);
        FastPass(pass, FilteredFrameCount(input.frames));
        const std::string where = c.name + ", " + kernel.name + (vector ? ", vector loop" : ", plain loop");
        EXPECT_EQ(pass.Levels().clipped, expected.clipped) << where;
        EXPECT_NEAR(pass.Levels().peak, expected.peak, 2.0) << where;
      }
    }
  }
  EXPECT_GT(ReferenceLevels(FullScaleSquare(1200, 37), overshooting, start).clipped, 100);
  EXPECT_EQ(ReferenceLevels(edge.samples, edge.taps, start).clipped, 1);
}

TEST(FilteredPass, CountsItsExactRecomputations) {
  const Samples samples = FullScaleNoise(500, 21);
  FilteredPass pass({samples.data(), 500}, LowPassTaps(), UniformSource{}, 1);
  FastPass(pass, FilteredFrameCount(500));
  EXPECT_LT(pass.ExactRecomputations(), 20);
  FilteredPass exactEverywhere({samples.data(), 500}, RandomSignTaps(1, 1e300), UniformSource{}, 1);
  FastPass(exactEverywhere, FilteredFrameCount(500));
  EXPECT_EQ(exactEverywhere.ExactRecomputations(), 2 * FilteredFrameCount(500));
}

// Pieces that start and end anywhere relative to the input samples and the
// sixteen-frame groups of the vector loops, on the vector and the plain loop.
TEST(FilteredPass, PiecesStartingAndEndingAnywhereMatchTheReferenceOnEitherLoop) {
  const Samples samples = FullScaleNoise(700, 41);
  const FilterTaps taps = RandomSignTaps(42, 0.04);
  const SignalInput input{samples.data(), 700};
  const UniformSource start = JumpAhead(UniformSource{}, 77);
  const std::vector<std::uint8_t> exact = ExactPass(samples, taps, start);
  for (bool vector : {true, false}) {
    FilteredPass pass(input, taps, start, 1);
    pass.SetVectorLoopForTesting(vector);
    for (std::int64_t first : {0, 1, 2, 3, 5, 15, 16, 17, 1021, 1027, 2800}) {
      for (std::int64_t count : {1, 15, 16, 17, 33, 100, 1100}) {
        count = std::min(count, FilteredFrameCount(700) - first);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * kPackedFrameBytes);
        pass.Produce(first, count, bytes.data());
        const auto from = exact.begin() + static_cast<std::ptrdiff_t>(first * kPackedFrameBytes);
        ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), from))
            << (vector ? "vector" : "plain") << " loop, frames " << first << " + " << count;
      }
    }
  }
}

// The plain loop where the vector loop would run, with values sent to the
// exact path and without.
TEST(FilteredPass, ThePlainLoopMatchesTheReferenceToo) {
  const Samples square = FullScaleSquare(3000, 1000);
  const Samples noise = FullScaleNoise(1500, 43);
  for (const Case& c : {Case{"cancelling taps", square, CancellingTaps()}, Case{"noise", noise, LowPassTaps()}}) {
    const SignalInput input{c.samples.data(), static_cast<std::int64_t>(c.samples.size() / 2)};
    const std::vector<std::uint8_t> exact = ExactPass(c.samples, c.taps, UniformSource{});
    FilteredPass pass(input, c.taps, UniformSource{}, 2);
    pass.SetVectorLoopForTesting(false);
    EXPECT_EQ(FirstDifference(FastPass(pass, FilteredFrameCount(input.frames)), exact), "") << c.name;
  }
}

TEST(UnfilteredPass, PiecesStartingAndEndingAnywhereMatchTheReferenceOnEitherLoop) {
  const Samples samples = FullScaleSquare(500, 7);
  const SignalInput input{samples.data(), 500};
  const UniformSource start = JumpAhead(UniformSource{}, 5);
  const std::int64_t frames = UnfilteredFrameCount(500);
  std::vector<std::uint8_t> expected(static_cast<std::size_t>(frames) * kPackedFrameBytes);
  ProduceUnfilteredFrames(input, start, 0, frames, expected.data());
  for (bool vector : {true, false}) {
    UnfilteredPass pass(input, start, 1);
    pass.SetVectorLoopForTesting(vector);
    for (std::int64_t first : {0, 1, 2, 3, 13, 16, 17, 1001}) {
      for (std::int64_t count : {1, 15, 16, 17, 47, 999}) {
        count = std::min(count, frames - first);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * kPackedFrameBytes);
        pass.Produce(first, count, bytes.data());
        const auto from = expected.begin() + static_cast<std::ptrdiff_t>(first * kPackedFrameBytes);
        ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), from))
            << (vector ? "vector" : "plain") << " loop, frames " << first << " + " << count;
      }
    }
  }
}

TEST(UnfilteredPass, MatchesTheReferenceQuantiserOnAnyThreadCount) {
  const Samples samples = FullScaleNoise(9000, 31);
  const SignalInput input{samples.data(), 9000};
  const UniformSource start = JumpAhead(UniformSource{}, 999);
  const std::int64_t frames = UnfilteredFrameCount(9000);
  std::vector<std::uint8_t> expected(static_cast<std::size_t>(frames) * kPackedFrameBytes);
  ProduceUnfilteredFrames(input, start, 0, frames, expected.data());
  for (int threads = 1; threads <= 3; ++threads) {
    UnfilteredPass pass(input, start, threads);
    std::vector<std::uint8_t> bytes(expected.size());
    pass.Produce(frames / 3, frames - frames / 3, bytes.data() + frames / 3 * kPackedFrameBytes);
    pass.Produce(0, frames / 3, bytes.data());
    EXPECT_EQ(FirstDifference(bytes, expected), "") << threads << " threads";
  }
}

// The job streams its input: each piece of a pass is given a window holding
// only the input frames PieceInputFrames names. Here every window is a copy
// walled in by loud noise, so that a pass reading a frame outside it (the
// filter's history at the window's start, above all) gives other bytes.
// Cancelling and unusable taps send many or all values down the exact path.
std::vector<std::uint8_t> PassThroughWindows(bool filtered, const Samples& samples, const FilterTaps& taps,
                                             UniformSource start, std::int64_t pieceFrames) {
  const std::int64_t inputFrames = static_cast<std::int64_t>(samples.size() / 2);
  const std::int64_t frames = filtered ? FilteredFrameCount(inputFrames) : UnfilteredFrameCount(inputFrames);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * kPackedFrameBytes);
  FilteredPass filteredPass({nullptr, inputFrames}, taps, start, 2);
  UnfilteredPass unfilteredPass({nullptr, inputFrames}, start, 2);
  constexpr std::int64_t kWall = 64;
  for (std::int64_t first = 0; first < frames; first += pieceFrames) {
    const std::int64_t count = std::min(pieceFrames, frames - first);
    const FrameSpan span = PieceInputFrames(filtered, inputFrames, first, count);
    Samples walled = FullScaleNoise(span.count + 2 * kWall, static_cast<std::uint32_t>(first));
    std::copy_n(samples.begin() + 2 * span.first, 2 * span.count, walled.begin() + 2 * kWall);
    const SignalInput window{walled.data() + 2 * kWall, inputFrames, span.first};
    std::uint8_t* out = bytes.data() + first * kPackedFrameBytes;
    if (filtered) {
      filteredPass.SetInput(window);
      filteredPass.Produce(first, count, out);
    } else {
      unfilteredPass.SetInput(window);
      unfilteredPass.Produce(first, count, out);
    }
  }
  return bytes;
}

TEST(Passes, PiecesGivenOnlyTheirOwnWindowOfTheInputMatchTheReference) {
  FilterTaps unusable = LowPassTaps();
  unusable[7] = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Case> cases = {
      {"noise, low-pass", FullScaleNoise(2000, 51), LowPassTaps()},
      {"square, cancelling taps", FullScaleSquare(2000, 300), CancellingTaps()},
      {"noise, unusable taps", FullScaleNoise(300, 52), unusable},
      {"shorter than the history", FullScaleNoise(30, 53), LowPassTaps()},
  };
  const UniformSource start = JumpAhead(UniformSource{}, 4321);
  for (const Case& c : cases) {
    const SignalInput whole{c.samples.data(), static_cast<std::int64_t>(c.samples.size() / 2)};
    const std::vector<std::uint8_t> filtered = ExactPass(c.samples, c.taps, start);
    std::vector<std::uint8_t> unfiltered(static_cast<std::size_t>(UnfilteredFrameCount(whole.frames)) * kPackedFrameBytes);
    ProduceUnfilteredFrames(whole, start, 0, UnfilteredFrameCount(whole.frames), unfiltered.data());
    for (const std::int64_t piece : {1, 17, 216, 1000, 4096}) {
      EXPECT_EQ(FirstDifference(PassThroughWindows(true, c.samples, c.taps, start, piece), filtered), "")
          << c.name << ", filtered pass in pieces of " << piece;
      EXPECT_EQ(FirstDifference(PassThroughWindows(false, c.samples, c.taps, start, piece), unfiltered), "")
          << c.name << ", unfiltered pass in pieces of " << piece;
    }
  }
}

// A pass start whose draws for `frame` and `channel` (its first and second)
// sum to `drawSum`. Draw k is the high 31 bits of the new state s, and the
// next state is a s + 1, so k1 + k2 = T fixes s mod 2^31 up to its low bit:
// 2 k1 (a + 1) = 2 T + b2 - 1 - a b1 (mod 2^32), b1 and b2 the states' low
// bits. The generator's period is 2^32, so stepping back from that state is
// stepping 2^32 - draws forward.
std::optional<UniformSource> StartMeetingDrawSum(std::int64_t frame, int channel, std::uint64_t drawSum) {
  constexpr std::uint32_t a = kUniformMultiplier;
  const std::uint32_t half = (a + 1) / 2;  // odd, so invertible modulo 2^32
  std::uint32_t inverse = half;
  for (int i = 0; i < 5; ++i) inverse *= 2 - half * inverse;
  std::uint32_t aInverse = a;
  for (int i = 0; i < 5; ++i) aInverse *= 2 - a * aInverse;
  for (std::uint32_t b1 : {0u, 1u}) {
    for (std::uint32_t b2 : {0u, 1u}) {
      const std::uint32_t rhs = 2 * static_cast<std::uint32_t>(drawSum) + b2 - 1 - a * b1;
      if (rhs % 4 != 0) continue;
      const std::uint32_t low = (rhs / 4 * inverse) & 0x3FFFFFFFu;
      for (std::uint32_t k1 : {low, low + 0x40000000u}) {
        const std::uint32_t s1 = 2 * k1 + b1;
        UniformSource before{(s1 - kUniformIncrement) * aInverse};
        UniformSource check = before;
        const std::uint64_t sum = std::uint64_t{NextDraw(check)} + NextDraw(check);
        if (sum != drawSum) continue;
        const std::uint64_t draws = static_cast<std::uint64_t>(frame) * kDrawsPerFrame + 2 * channel;
        return JumpAhead(before, (std::uint64_t{1} << 32) - draws);
      }
    }
  }
  return std::nullopt;
}

// Exact ties of the quantiser, t = n + 1/2, met on purpose: a constant
// recording of s, and a start state whose draws at one frame make
// 16760439 * 2^15 * s + k1 + k2 - 2^31 an odd multiple of 2^30. Both passes
// (the filtered one through a single unit tap, so that its value is s too)
// must round them to even as the reference does, on either loop and every
// kernel.
TEST(BothPasses, RoundExactTiesToEvenAsTheReferenceDoes) {
  constexpr std::int64_t kInputFrames = 40;
  constexpr std::int64_t kScale = kGainNumerator << 15;
  FilterTaps unitTap{};
  unitTap[0] = 1.0;
  const std::int64_t frames[] = {0, 1, 5, 16, 17, 63, 130};
  int caseIndex = 0;
  int ties = 0;
  for (int s : {-32768, -12345, -1, 0, 1, 2, 12345, 32767}) {
    const std::int64_t tieSum = (((std::int64_t{1} << 30) - kScale * s) % (std::int64_t{1} << 31) +
                                 (std::int64_t{1} << 31)) % (std::int64_t{1} << 31);
    for (std::int64_t drawSum : {tieSum, tieSum + (std::int64_t{1} << 31)}) {
      const std::int64_t frame = frames[caseIndex % 7];
      const int channel = caseIndex++ % 2;
      const std::optional<UniformSource> start = StartMeetingDrawSum(frame, channel, static_cast<std::uint64_t>(drawSum));
      // Not every sum can be met by two consecutive draws.
      if (!start) continue;
      ++ties;
      const std::string where = "s=" + std::to_string(s) + ", draws summing to " + std::to_string(drawSum) +
                                ", frame " + std::to_string(frame) + (channel ? " right" : " left");
      const Samples samples(2 * kInputFrames, static_cast<std::int16_t>(s));
      const SignalInput input{samples.data(), kInputFrames};

      std::vector<std::uint8_t> unfiltered(static_cast<std::size_t>(UnfilteredFrameCount(kInputFrames)) * kPackedFrameBytes);
      ProduceUnfilteredFrames(input, *start, 0, UnfilteredFrameCount(kInputFrames), unfiltered.data());
      const std::vector<std::uint8_t> filtered = ExactPass(samples, unitTap, *start);
      for (bool vector : {true, false}) {
        UnfilteredPass pass(input, *start, 1);
        pass.SetVectorLoopForTesting(vector);
        std::vector<std::uint8_t> bytes(unfiltered.size());
        pass.Produce(0, UnfilteredFrameCount(kInputFrames), bytes.data());
        EXPECT_EQ(FirstDifference(bytes, unfiltered), "") << "unfiltered, " << where << (vector ? ", vector" : ", plain");
        for (const NamedPhaseKernel& kernel : AvailablePhaseKernels()) {
          FilteredPass filteredPass(input, unitTap, *start, 1);
          filteredPass.SetVectorLoopForTesting(vector);
          filteredPass.SetKernelForTesting(kernel.kernel);
          EXPECT_EQ(FirstDifference(FastPass(filteredPass, FilteredFrameCount(kInputFrames)), filtered), "")
              << "filtered, " << where << ", " << kernel.name << (vector ? ", vector" : ", plain");
        }
      }
    }
  }
  EXPECT_GE(ties, 10) << "too few ties met to prove much";
}

TEST(FillDraws, GivesTheSourcesOwnSequenceAndLeavesItWhereNextDrawWould) {
  for (std::size_t count : {0u, 1u, 15u, 16u, 17u, 1000u, 1003u}) {
    UniformSource bulk = JumpAhead(UniformSource{}, count * 7);
    UniformSource single = bulk;
    std::vector<std::uint32_t> draws(count);
    FillDraws(bulk, count, draws.data());
    for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(draws[i], NextDraw(single)) << "draw " << i << " of " << count;
    EXPECT_EQ(bulk.state, single.state) << count;
  }
}

}  // namespace
}  // namespace quenlow
