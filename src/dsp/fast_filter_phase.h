// The filter seen from the input samples: the held signal repeats each sample
// four times, so filtered value m = 4p + r is the sum over d of a phase tap
// P_r(d) times input sample p - d, where P_r(d) is the sum of the taps
// r + 4d - 3 ... r + 4d (those of them that exist). A quarter of the work of
// the direct convolution, and no held signal in memory.
#pragma once

#include "dsp/filter_taps.h"
#include "dsp/oversampler.h"

namespace quenlow {

// Delays 0 ... 54: tap 214 lies in the group of delay 54 for phase 0.
inline constexpr int kPhaseDelays = (TapCount - 1 + OversamplingRatio - 1) / OversamplingRatio + 1;

struct PhaseTaps {
  // byDelay[d][r] = P_r(d): the four phases of one delay side by side.
  alignas(64) double byDelay[kPhaseDelays][OversamplingRatio] = {};
};

// Each group summed in ascending tap order, in double arithmetic.
PhaseTaps MakePhaseTaps(const FilterTaps& taps);

// The sum of |tap|, rounded upwards enough to be an upper bound.
double SumOfTapMagnitudes(const FilterTaps& taps);

// Whether the fast path may serve these taps: every tap finite and the sum of
// magnitudes at most 2^40 / 32768, so that no value comes near overflow and
// the error bound stays meaningful. Other files take the exact path everywhere.
bool FastPathAllowed(const FilterTaps& taps);

}  // namespace quenlow
