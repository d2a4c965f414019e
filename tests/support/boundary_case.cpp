#include "support/boundary_case.h"

#include <cmath>

#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"
#include "dsp/signal_chain.h"

namespace quenlow::test {
namespace {

constexpr std::int16_t kFullScale = 32767;
constexpr double kScale = static_cast<double>(kGainNumerator) / 65536.0;  // 256 G
// Each tiny tap times full scale: just under half a unit of 2^14 ... 2^15.
constexpr double kTinyTerm = 0x1p-39 * (1.0 - 0x1p-8);
// Where the trap's reference quantiser input is put below n + 1/2: inside
// what the fast sum's kept terms (about 1e-7) move it.
constexpr double kBelowBoundary = 2e-8;

struct Draws {
  std::uint32_t k1;
  std::uint32_t k2;
};

Draws LeftDrawsOf(UniformSource passStart, std::int64_t frame) {
  UniformSource at = SourceAtFrame(passStart, frame);
  const std::uint32_t k1 = NextDraw(at);
  return {k1, NextDraw(at)};
}

double DitherOf(Draws d) {
  return static_cast<double>(std::int64_t{d.k1} + std::int64_t{d.k2} - (std::int64_t{1} << 31)) * 0x1p-31;
}

}  // namespace

BoundaryCase MakeBoundaryCase(std::int64_t frames, UniformSource passStart) {
  BoundaryCase c;
  c.samples.assign(static_cast<std::size_t>(2 * frames), kFullScale);
  // Well inside, where all 215 taps meet the recording; phase 2.
  c.trapFrame = 4 * (frames / 2) + 2;
  for (double& tap : c.taps) tap = kTinyTerm / kFullScale;
  const double dither = DitherOf(LeftDrawsOf(passStart, c.trapFrame));
  // The integer below full scale's quantiser input, so that the large tap
  // stays under 1 and the accumulator in [2^14, 2^15).
  const double n = std::floor(kScale * kFullScale + dither) - 1.0;
  const double value = (n + 0.5 - kBelowBoundary - dither) / kScale;
  c.taps[TapCount - 1] = value / kFullScale;
  return c;
}

BoundaryDistances MeasureBoundaryCase(const BoundaryCase& c, UniformSource passStart) {
  const std::int64_t frames = static_cast<std::int64_t>(c.samples.size() / 2);
  const double reference = ExactFilteredValue(c.taps, c.samples.data(), frames, 2, c.trapFrame);
  const double dither = DitherOf(LeftDrawsOf(passStart, c.trapFrame));
  double kept = 0.0;
  for (int k = 0; k < TapCount - 1; ++k) kept += c.taps[static_cast<std::size_t>(k)] * kFullScale;
  // t in double is close enough here: its ulp (2^-29) is far below both.
  const double t = kScale * reference + dither;
  return {std::floor(t) + 0.5 - t, kScale * kept};
}

}  // namespace quenlow::test
