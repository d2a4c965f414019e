// A recording and two taps built so that one filtered value's fast quantiser
// input lies just past the edge of the 24-bit range (8388607.5, or -8388608.5
// for the negative case), by a little more than the certification margin,
// while that input less (plus) the margin, computed in double, rounds onto
// the edge itself.
//
// The range test then misses the value, and the rounding test finds no
// boundary within the margin and certifies round(t): 8388608 (-8388609), one
// past the range. The reference rounds to the same integer and saturates it.
//
// The recording is silent but for one frame (1, 1). The large tap puts the
// trap frame's value near full-scale gain; the second tap, placed where it
// meets none of the large tap's frames, only moves the margin (which grows
// with the taps' summed magnitude) into the narrow window that makes the
// range test round onto its threshold.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/filter_taps.h"
#include "dsp/uniform_source.h"

namespace quenlow::test {

struct FullScaleCase {
  FilterTaps taps;
  std::vector<std::int16_t> samples;  // interleaved stereo
  std::int64_t trapFrame = 0;         // a frame of the filtered pass, left channel
};

// `frames` input frames (at least 64); the filtered pass starts at
// `passStart`; `positive` picks the side of the range.
FullScaleCase MakeFullScaleCase(std::int64_t frames, UniformSource passStart, bool positive);

// Whether the taps as they are still make the trap: the fast quantiser input
// past the edge by more than the margin, and that input less the margin
// rounding onto the edge.
bool FullScaleCaseHolds(const FullScaleCase& c, UniformSource passStart);

}  // namespace quenlow::test
