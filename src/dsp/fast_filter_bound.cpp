#include "dsp/fast_filter_bound.h"

#include "dsp/filter_taps.h"
#include "dsp/quantiser.h"

namespace quenlow {
namespace {

constexpr double kDoubleUnit = 0x1p-53;    // u: one rounding to a double
constexpr double kExtendedUnit = 0x1p-64;  // v: one rounding to a 64-bit significand
// Terms of the fast dot product: 55 delays, bounded as 56 roundings a term.
constexpr int kFastTerms = 56;
// Roundings of each group of up to four taps into a phase tap.
constexpr int kPhaseTapAdditions = 3;

// gamma_n(e) = n e / (1 - n e): the bound of n rounding factors (1 + d_i),
// |d_i| <= e, multiplied together, minus one.
double Gamma(int n, double e) { return n * e / (1.0 - n * e); }

}  // namespace

double ReferenceErrorFactor() {
  // Each step rounds the product to 64 bits (v), then the sum to 64 bits and
  // to 53 (together at most eta); a term passes at most 215 such sums.
  const double eta = (1.0 + kExtendedUnit) * (1.0 + kDoubleUnit) - 1.0;
  return kExtendedUnit + Gamma(TapCount, eta) * (1.0 + kExtendedUnit);
}

double FastErrorFactor() {
  const double phase = Gamma(kPhaseTapAdditions, kDoubleUnit);
  return phase + Gamma(kFastTerms, kDoubleUnit) * (1.0 + phase);
}

double CertificationMargin(double sumOfTapMagnitudes, int maxAbsSample) {
  constexpr double scale = static_cast<double>(kGainNumerator) / 65536.0;  // 256 G, exact
  const double errorFactor = ReferenceErrorFactor() + FastErrorFactor();
  const double scaledBound = scale * sumOfTapMagnitudes * maxAbsSample;  // 256 G A
  // A bound on every |t| met on the way: |256 G x| plus the dither's at most 2.
  const double magnitude = scaledBound * (1.0 + errorFactor) + 2.0;
  // The fast t takes two roundings to double, the reference's steps four to
  // 64 bits.
  const double quantiserRoundings = (2.0 * kDoubleUnit + 4.0 * kExtendedUnit) * magnitude;
  const double margin = errorFactor * scaledBound + quantiserRoundings;
  // The few roundings of this evaluation, and a little room, on top.
  return margin * (1.0 + 0x1p-20) + 0x1p-50;
}

}  // namespace quenlow
