#include "dsp/fast_filter_phase.h"

#include <cmath>

namespace quenlow {

PhaseTaps MakePhaseTaps(const FilterTaps& taps) {
  PhaseTaps phase;
  for (int d = 0; d < kPhaseDelays; ++d) {
    for (int r = 0; r < OversamplingRatio; ++r) {
      double sum = 0.0;
      for (int k = r + OversamplingRatio * d - (OversamplingRatio - 1); k <= r + OversamplingRatio * d; ++k) {
        if (k >= 0 && k < TapCount) sum += taps[static_cast<std::size_t>(k)];
      }
      phase.byDelay[d][r] = sum;
    }
  }
  return phase;
}

double SumOfTapMagnitudes(const FilterTaps& taps) {
  double sum = 0.0;
  for (double tap : taps) sum += std::fabs(tap);
  // 214 additions, each off by at most half an ulp: 2^-40 relative covers them.
  return sum * (1.0 + 0x1p-40);
}

bool FastPathAllowed(const FilterTaps& taps) {
  for (double tap : taps) {
    if (!std::isfinite(tap)) return false;
  }
  return SumOfTapMagnitudes(taps) <= 0x1p40 / 32768.0;
}

}  // namespace quenlow
