// The whole-array signal chain exactly as the job defines it, stage after
// stage: the oracle that streamed and fast paths are held to.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/filter_taps.h"
#include "dsp/quantiser.h"

namespace quenlow::test {

struct ReferenceOutputs {
  PackedSampleBlock unfiltered;
  PackedSampleBlock filtered;
};

ReferenceOutputs RunReferenceChain(const std::vector<std::int16_t>& interleaved, const FilterTaps& taps);

// Sample `element` of a packed block (left of frame f is 2f, right 2f + 1).
std::int32_t UnpackSample24(const std::vector<std::uint8_t>& block, std::size_t element);

}  // namespace quenlow::test
