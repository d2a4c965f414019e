// The fast filter's error bound: its constants against exact arithmetic, its
// cover of measured differences on taps of mixed scales, and the bytes of a
// value built to sit between the fast sum and the reference's.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "dsp/fast_filter_bound.h"
#include "dsp/fast_filter_kernel.h"
#include "dsp/fast_filter_phase.h"
#include "dsp/filtered_pass.h"
#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"
#include "dsp/signal_chain.h"
#include "support/boundary_case.h"

namespace quenlow {
namespace {

// A real number at 256 bits, enough for every bound below to be exact to far
// more places than a double holds.
class Exact {
 public:
  Exact(double x = 0.0) {
    mpfr_init2(v_, 256);
    mpfr_set_d(v_, x, MPFR_RNDN);
  }
  Exact(const Exact& o) {
    mpfr_init2(v_, 256);
    mpfr_set(v_, o.v_, MPFR_RNDN);
  }
  Exact& operator=(const Exact& o) {
    mpfr_set(v_, o.v_, MPFR_RNDN);
    return *this;
  }
  ~Exact() { mpfr_clear(v_); }
  friend Exact operator+(const Exact& a, const Exact& b) { return Op(mpfr_add, a, b); }
  friend Exact operator-(const Exact& a, const Exact& b) { return Op(mpfr_sub, a, b); }
  friend Exact operator*(const Exact& a, const Exact& b) { return Op(mpfr_mul, a, b); }
  friend Exact operator/(const Exact& a, const Exact& b) { return Op(mpfr_div, a, b); }
  double ToDouble() const { return mpfr_get_d(v_, MPFR_RNDN); }
  // The double's distance above this value, relative to it.
  double RelativeExcessOf(double bound) const {
    Exact difference = Exact(bound) - *this;
    mpfr_div(difference.v_, difference.v_, v_, MPFR_RNDN);
    return mpfr_get_d(difference.v_, MPFR_RNDN);
  }

 private:
  using Operation = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
  static Exact Op(Operation op, const Exact& a, const Exact& b) {
    Exact r;
    op(r.v_, a.v_, b.v_, MPFR_RNDN);
    return r;
  }
  mpfr_t v_;
};

Exact Gamma(int n, const Exact& e) { return Exact(n) * e / (Exact(1) - Exact(n) * e); }

const Exact u(0x1p-53);
const Exact v(0x1p-64);

Exact ExactReferenceFactor() {
  const Exact eta = (Exact(1) + v) * (Exact(1) + u) - Exact(1);
  return v + Gamma(TapCount, eta) * (Exact(1) + v);
}

Exact ExactFastFactor() {
  const Exact phase = Gamma(3, u);
  return phase + Gamma(56, u) * (Exact(1) + phase);
}

// Each constant must lie above its exact value (or the proof does not hold)
// and only just above it (or the margin is wasted).
TEST(FastFilterBound, ConstantsLieJustAboveTheirExactValues) {
  const Exact scale(static_cast<double>(kGainNumerator) / 65536.0);
  const Exact factor = ExactReferenceFactor() + ExactFastFactor();
  struct Row {
    std::string name;
    double computed;
    Exact exact;
  };
  std::vector<Row> rows = {
      {"reference factor", ReferenceErrorFactor(), ExactReferenceFactor()},
      {"fast factor", FastErrorFactor(), ExactFastFactor()},
  };
  for (double sum : {0.0, 1e-300, 1.0, 1.3, 7.5, 0x1p40 / 32768.0}) {
    for (int loudest : {0, 1, 1000, 32768}) {
      const Exact scaled = scale * Exact(sum) * Exact(loudest);
      const Exact magnitude = scaled * (Exact(1) + factor) + Exact(2);
      const Exact margin = factor * scaled + (Exact(2) * u + Exact(4) * v) * magnitude;
      rows.push_back({"margin for sum " + std::to_string(sum) + ", loudest " + std::to_string(loudest),
                      CertificationMargin(sum, loudest), margin});
    }
  }
  for (const Row& row : rows) {
    const double excess = row.exact.RelativeExcessOf(row.computed);
    EXPECT_GE(excess, 0.0) << row.name;
    // The margin's deliberate room is 2^-20 relative and 2^-50 absolute.
    const double room = row.name.starts_with("margin") ? 0x1p-19 + 0x1p-49 / row.exact.ToDouble() : 0x1p-40;
    EXPECT_LT(excess, room) << row.name;
  }
}

// Taps that mix scales put the reference's own rounding to work: a large tap
// among tiny ones (its term swallows theirs in one order and not in the
// other), alternating signs, pairs that cancel.
std::vector<std::pair<std::string, FilterTaps>> MixedScaleTaps() {
  std::mt19937 random(2026);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<std::pair<std::string, FilterTaps>> families;
  for (int large : {0, 1, 2, 3, 107, 211, 214}) {
    FilterTaps taps{};
    for (double& tap : taps) tap = unit(random) * 1e-13;
    taps[static_cast<std::size_t>(large)] = 1.0;
    families.push_back({"large tap " + std::to_string(large), taps});
  }
  FilterTaps alternating{};
  for (int k = 0; k < TapCount; ++k) alternating[static_cast<std::size_t>(k)] = (k % 2 ? -1 : 1) * std::ldexp(1.0 + unit(random), -(k % 40));
  families.push_back({"alternating signs, scales 2^0 to 2^-39", alternating});
  FilterTaps cancelling{};
  for (int k = 0; k + 1 < TapCount; k += 2) {
    const double tap = std::ldexp(unit(random), k % 30);
    cancelling[static_cast<std::size_t>(k)] = tap;
    cancelling[static_cast<std::size_t>(k + 1)] = -tap * (1.0 + 0x1p-30);
  }
  families.push_back({"cancelling pairs", cancelling});
  families.push_back({"large last tap among tiny ones, as crafted", test::MakeBoundaryCase(150, UniformSource{}).taps});
  for (std::uint32_t seed = 0; seed < 2; ++seed) {
    FilterTaps random_taps{};
    for (double& tap : random_taps) tap = unit(random) * (seed ? 1e3 : 0.1);
    families.push_back({"random " + std::to_string(seed), random_taps});
  }
  return families;
}

// The fast value and the reference's differ by no more than the bound's
// factor times A = sum |tap| |held sample|, on every kernel, for full-scale
// noise and for a constant full scale (where a large tap's term swallows the
// tiny ones in every value).
TEST(FastFilterBound, CoversTheMeasuredDistanceOnTapsOfMixedScales) {
  const double factor = ReferenceErrorFactor() + FastErrorFactor();
  constexpr int kFrames = 300;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> any(-32768, 32767);
  std::vector<std::int16_t> noise(2 * kFrames);
  for (auto& s : noise) s = static_cast<std::int16_t>(any(random));
  std::vector<std::int16_t> constant(2 * kFrames, 32767);

  for (const auto& [name, taps] : MixedScaleTaps()) {
    const PhaseTaps phase = MakePhaseTaps(taps);
    for (const std::vector<std::int16_t>* samples : {&noise, &constant}) {
      std::vector<double> padded(kPhaseDelays - 1, 0.0);
      for (int i = 0; i < kFrames + 16; ++i) padded.push_back(i < kFrames ? (*samples)[static_cast<std::size_t>(2 * i)] : 0);
      for (const NamedPhaseKernel& kernel : AvailablePhaseKernels()) {
        std::vector<double> fast(4 * 320);
        kernel.kernel(phase, padded.data() + kPhaseDelays - 1, kFrames, fast.data(), 320);
        for (std::int64_t m = 0; m < 4 * kFrames; ++m) {
          const double exact = ExactFilteredValue(taps, samples->data(), kFrames, 2, m);
          double magnitudes = 0.0;
          for (int k = 0; k < TapCount && k <= m; ++k) {
            magnitudes += std::fabs(taps[static_cast<std::size_t>(k)]) *
                          std::abs((*samples)[static_cast<std::size_t>(2 * ((m - k) / 4))]);
          }
          const double y = fast[static_cast<std::size_t>((m % 4) * 320 + m / 4)];
          ASSERT_LE(std::fabs(y - exact), factor * magnitudes * (1 + 1e-9))
              << name << (samples == &noise ? ", noise, " : ", constant, ") << kernel.name << ", value " << m;
        }
      }
    }
  }
}

// The crafted value: the reference rounds it down, the fast sum lies above
// the boundary by more than the fast kernel's own error. With the whole bound
// the pass recomputes it and matches the reference on every kernel, loop and
// thread count; with a margin that covers only the fast kernel (what the
// bound was when the reference's rounding was left out) it writes the wrong
// sample.
TEST(FilteredPass, AValueBetweenTheFastSumAndTheReferenceGetsTheReferencesSample) {
  constexpr std::int64_t kFrames = 150;
  const UniformSource start = JumpAhead(UniformSource{}, 4242);
  const test::BoundaryCase c = test::MakeBoundaryCase(kFrames, start);
  const test::BoundaryDistances distances = test::MeasureBoundaryCase(c, start);
  ASSERT_GT(distances.belowBoundary, 0.0);
  ASSERT_LT(distances.belowBoundary, distances.keptTerms / 2) << "the fast sum would not cross the boundary";

  const SignalInput input{c.samples.data(), kFrames};
  const std::int64_t frames = FilteredFrameCount(kFrames);
  std::vector<std::uint8_t> exact(static_cast<std::size_t>(frames) * kPackedFrameBytes);
  ProduceFilteredFramesExact(input, c.taps, start, 0, frames, exact.data());
  const auto sampleAtTrap = [&](const std::vector<std::uint8_t>& bytes) {
    const std::uint8_t* at = bytes.data() + c.trapFrame * kPackedFrameBytes;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(at[0] | at[1] << 8 | at[2] << 16) << 8) >> 8;
  };

  const double fastOnly = FastErrorFactor() / (FastErrorFactor() + ReferenceErrorFactor());
  for (const NamedPhaseKernel& kernel : AvailablePhaseKernels()) {
    for (bool vector : {true, false}) {
      for (int threads = 1; threads <= 3; ++threads) {
        const std::string where = kernel.name + (vector ? ", vector loop, " : ", plain loop, ") +
                                  std::to_string(threads) + " threads";
        for (double scale : {1.0, fastOnly}) {
          FilteredPass pass(input, c.taps, start, threads);
          pass.SetKernelForTesting(kernel.kernel);
          pass.SetVectorLoopForTesting(vector);
          pass.SetMarginScaleForTesting(scale);
          std::vector<std::uint8_t> bytes(exact.size());
          pass.Produce(frames / 2, frames - frames / 2, bytes.data() + frames / 2 * kPackedFrameBytes);
          pass.Produce(0, frames / 2, bytes.data());
          if (scale == 1.0) {
            EXPECT_TRUE(bytes == exact) << where;
          } else {
            EXPECT_EQ(sampleAtTrap(bytes), sampleAtTrap(exact) + 1) << where << ", margin cut to the fast error";
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace quenlow
