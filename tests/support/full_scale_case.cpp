#include "support/full_scale_case.h"

#include <cmath>

#include "dsp/fast_filter_bound.h"
#include "dsp/fast_filter_phase.h"
#include "dsp/quantiser.h"
#include "dsp/signal_chain.h"

namespace quenlow::test {
namespace {

constexpr double kScale = static_cast<double>(kGainNumerator) / 65536.0;  // 256 G
constexpr std::int64_t kImpulseFrame = 10;
constexpr int kLargeTap = 100;  // the trap frame is 4 * 10 + 100
constexpr int kMarginTap = 30;  // meets frames 70 to 73 only
// The spacing of doubles at the edge: 8388607.5 lies below 2^23,
// -8388608.5 beyond it.
double StepAt(bool positive) { return positive ? 0x1p-30 : 0x1p-29; }

double LeftDitherAt(UniformSource passStart, std::int64_t frame) {
  UniformSource at = SourceAtFrame(passStart, frame);
  const std::uint32_t k1 = NextDraw(at);
  const std::uint32_t k2 = NextDraw(at);
  return static_cast<double>(std::int64_t{k1} + std::int64_t{k2} - (std::int64_t{1} << 31)) * 0x1p-31;
}

// The fast path's quantiser input, two roundings as the pass makes them.
double FastInput(double value, double dither) {
  volatile double product = kScale * value;
  return product + dither;
}

double Edge(bool positive) { return positive ? kSample24Max + 0.5 : kSample24Min - 0.5; }

double Margin(const FilterTaps& taps) { return CertificationMargin(SumOfTapMagnitudes(taps), 1); }

// The large tap whose fast input is exactly t, if one near t / scale gives it.
bool TapForInput(double t, double dither, double& tap) {
  double candidate = (t - dither) / kScale;
  for (int i = 0; i < 64; ++i) candidate = std::nextafter(candidate, FastInput(candidate, dither) < t ? 1e9 : -1e9);
  for (int i = 0; i < 128; ++i) {
    if (FastInput(candidate, dither) == t) {
      tap = candidate;
      return true;
    }
    candidate = std::nextafter(candidate, FastInput(candidate, dither) < t ? 1e9 : -1e9);
  }
  return false;
}

}  // namespace

FullScaleCase MakeFullScaleCase(std::int64_t frames, UniformSource passStart, bool positive) {
  FullScaleCase c;
  c.samples.assign(static_cast<std::size_t>(2 * frames), 0);
  c.samples[2 * kImpulseFrame] = 1;
  c.samples[2 * kImpulseFrame + 1] = 1;
  c.trapFrame = OversamplingRatio * kImpulseFrame + kLargeTap;
  c.taps.fill(0.0);
  const double dither = LeftDitherAt(passStart, c.trapFrame);
  const double sign = positive ? 1.0 : -1.0;
  const double step = StepAt(positive);

  // Past the edge by m0, a whole number of steps above the margin of the
  // large tap alone, so that the second tap can raise the margin into
  // [m0 - step / 2, m0): t -+ margin then lies within half a step beyond the
  // edge and rounds onto it.
  c.taps[kLargeTap] = sign * (kSample24Max + 0.5) / kScale;
  for (double m0 = (std::ceil(Margin(c.taps) / step) + 1) * step;; m0 += step) {
    const double t = Edge(positive) + sign * m0;
    double tap = 0.0;
    if (!TapForInput(t, dither, tap)) continue;
    c.taps[kLargeTap] = tap;
    c.taps[kMarginTap] = 0.0;
    if (Margin(c.taps) >= m0 - step / 2) continue;
    double low = 0.0;
    double high = 1.0;
    for (c.taps[kMarginTap] = high; Margin(c.taps) < m0; c.taps[kMarginTap] = high) high *= 2;
    // The margin grows with the second tap in steps; find one inside the
    // window.
    for (int i = 0; i < 200; ++i) {
      c.taps[kMarginTap] = (low + high) / 2;
      const double margin = Margin(c.taps);
      if (margin >= m0) {
        high = c.taps[kMarginTap];
      } else if (margin < m0 - step / 2) {
        low = c.taps[kMarginTap];
      } else {
        return c;
      }
    }
  }
}

bool FullScaleCaseHolds(const FullScaleCase& c, UniformSource passStart) {
  const double t = FastInput(c.taps[kLargeTap], LeftDitherAt(passStart, c.trapFrame));
  const double margin = Margin(c.taps);
  const double edge = t > 0 ? Edge(true) : Edge(false);
  volatile double shifted = t > 0 ? t - margin : t + margin;
  return std::fabs(t - edge) > margin && shifted == edge;
}

}  // namespace quenlow::test
