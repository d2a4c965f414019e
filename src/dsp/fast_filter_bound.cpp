#include "dsp/fast_filter_bound.h"

#include <cmath>
#include <limits>

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

// The bound is evaluated in double, but must never come out smaller than its
// exact value: a constant that rounds away (1 + 2^-64 is 1 in double) would
// leave part of the error uncovered. Every quantity here is positive, and a
// result rounded to nearest lies within one unit in the last place of the
// exact one, so stepping it one place up (or down, for a divisor) gives a
// bound in the right direction.
double Up(double x) { return std::nextafter(x, std::numeric_limits<double>::infinity()); }
double Down(double x) { return std::nextafter(x, 0.0); }
double AddUp(double a, double b) { return Up(a + b); }
double MulUp(double a, double b) { return Up(a * b); }

// gamma_n(e) = n e / (1 - n e), from above: the bound of n rounding factors
// (1 + d_i), |d_i| <= e, multiplied together, minus one.
double GammaUp(int n, double e) {
  const double ne = MulUp(n, e);
  return Up(ne / Down(1.0 - ne));
}

}  // namespace

double ReferenceErrorFactor() {
  // Each step rounds the product to 64 bits (v), then the sum to 64 bits and
  // to 53: together (1 + v)(1 + u) - 1 = u + v + u v. A term passes at most
  // 215 such sums.
  const double eta = AddUp(AddUp(kDoubleUnit, kExtendedUnit), MulUp(kDoubleUnit, kExtendedUnit));
  return AddUp(kExtendedUnit, MulUp(GammaUp(TapCount, eta), AddUp(1.0, kExtendedUnit)));
}

double FastErrorFactor() {
  const double phase = GammaUp(kPhaseTapAdditions, kDoubleUnit);
  return AddUp(phase, MulUp(GammaUp(kFastTerms, kDoubleUnit), AddUp(1.0, phase)));
}

double CertificationMargin(double sumOfTapMagnitudes, int maxAbsSample) {
  constexpr double scale = static_cast<double>(kGainNumerator) / 65536.0;  // 256 G, exact
  static const double errorFactor = AddUp(ReferenceErrorFactor(), FastErrorFactor());
  const double scaledBound = MulUp(MulUp(scale, sumOfTapMagnitudes), maxAbsSample);  // 256 G A
  // A bound on every |t| met on the way: |256 G x| plus the dither's at most 2.
  const double magnitude = AddUp(MulUp(scaledBound, AddUp(1.0, errorFactor)), 2.0);
  // The fast t takes two roundings to double, the reference's steps four to
  // 64 bits.
  const double quantiserRoundings = MulUp(AddUp(2.0 * kDoubleUnit, 4.0 * kExtendedUnit), magnitude);
  const double margin = AddUp(MulUp(errorFactor, scaledBound), quantiserRoundings);
  // Room for the second-order terms the sum above leaves out (a rounding
  // error of a value that already carries one, (1 + v)^4 - 1 - 4v and the
  // like, relatively below 2^-100).
  return AddUp(MulUp(margin, 1.0 + 0x1p-20), 0x1p-50);
}

}  // namespace quenlow
