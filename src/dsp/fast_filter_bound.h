// How far a fast filtered value may lie from the reference's, and the test
// that tells whether a fast quantiser input gives the reference's sample.
// docs/fast-filter.md derives the constants.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/quantiser.h"

namespace quenlow {

// Relative error bounds, as multiples of A = sum |tap_k| |held(m - k)|:
// the reference's sequence of extended products and sums stored as doubles,
// and the fast path (phase taps summed in double, then a dot product of 55
// terms in any order, with or without fused multiply-adds).
double ReferenceErrorFactor();
double FastErrorFactor();

// The half-width of the interval around a fast quantiser input t (computed in
// double as (256 G) y + (r1 + r2 - 1)) that surely holds the reference's
// final t, for values whose A is at most sumOfTapMagnitudes * maxAbsSample.
// It covers both filters' errors, the two roundings of the fast t and the
// four of the reference's quantiser steps, with room to spare.
double CertificationMargin(double sumOfTapMagnitudes, int maxAbsSample);

// The quantised sample for a fast t, when the interval t +- margin decides
// it: the interval holds no rounding boundary (an integer plus one half), so
// the reference's t rounds to the same integer, which both then saturate to
// the 24-bit range; or it lies wholly beyond one end of that range. Otherwise
// `certain` is false and the value must be recomputed.
struct CertifiedSample {
  std::int32_t q = 0;
  bool certain = false;
  bool clipped = false;  // certain, and saturated
};

// Written without branches, for the loop that runs it on every value.
inline CertifiedSample CertifyQuantised(double t, double margin) {
  // Comparisons with representable thresholds survive the rounding of the
  // differences (rounding is monotonic): they are never true wrongly. They
  // may be false wrongly, when t - margin rounds onto the threshold; the
  // value then goes by its rounding, which must saturate as well.
  constexpr double kAboveRange = kSample24Max + 0.5;
  constexpr double kBelowRange = kSample24Min - 0.5;
  const bool above = t - margin > kAboveRange;
  const bool below = t + margin < kBelowRange;
  // Inside +-2^24 (anything else, a NaN too, goes to 0 and is not certified
  // by its distance), round half to even by the usual shift through
  // 1.5 * 2^52; t - n is then exact.
  const bool small = std::fabs(t) < 0x1p24;
  const double inside = small ? t : 0.0;
  const double n = (inside + 0x1.8p52) - 0x1.8p52;
  const double distance = 0.5 - std::fabs(inside - n);
  const bool clear = small && distance > margin;
  const double saturated = std::fmin(std::fmax(n, kSample24Min), kSample24Max);
  const double q = above ? kSample24Max : below ? kSample24Min : saturated;
  return {static_cast<std::int32_t>(q), above || below || clear, above || below || (clear && saturated != n)};
}

}  // namespace quenlow
