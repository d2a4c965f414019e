// A recording and a coefficient file built so that one filtered value lies
// just below a rounding boundary of the quantiser, while a fast sum that
// keeps small terms the reference loses lands just above it.
//
// The last tap is large and the other 214 tiny (each times full scale just
// under 2^-39). The reference adds the large term first; every tiny term is
// then below half a unit in the last place of the accumulator and is lost.
// The phase-tap sums add the tiny terms first and keep them, ending about 100
// units higher. The large tap is tuned so that the trap frame's reference
// quantiser input lies a little below n + 1/2, given that frame's draws.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/filter_taps.h"
#include "dsp/uniform_source.h"

namespace quenlow::test {

struct BoundaryCase {
  FilterTaps taps;
  std::vector<std::int16_t> samples;  // interleaved stereo
  std::int64_t trapFrame = 0;         // a frame of the filtered pass, left channel
};

// `frames` input frames of full scale; the filtered pass starts at
// `passStart`. A test that goes through a coefficient file measures the case
// again with the taps as read back.
BoundaryCase MakeBoundaryCase(std::int64_t frames, UniformSource passStart);

// How far below the boundary the trap frame's reference quantiser input
// lies, in quantiser units, and how far the kept tiny terms move it: both
// computed from the taps as they are.
struct BoundaryDistances {
  double belowBoundary = 0.0;
  double keptTerms = 0.0;
};
BoundaryDistances MeasureBoundaryCase(const BoundaryCase& c, UniformSource passStart);

}  // namespace quenlow::test
