#include "support/reference_chain.h"

#include "dsp/oversampler.h"
#include "dsp/reconstruction_filter.h"

namespace quenlow::test {

ReferenceOutputs RunReferenceChain(const std::vector<std::int16_t>& interleaved, const FilterTaps& taps) {
  const StereoChannels channels = SplitChannels(interleaved);
  const std::vector<std::int16_t> heldLeft = HoldSamples(channels.left, OversamplingRatio);
  const std::vector<std::int16_t> heldRight = HoldSamples(channels.right, OversamplingRatio);
  UniformSource source;
  ReferenceOutputs outputs;
  outputs.unfiltered = QuantiseHeld(heldLeft, heldRight, source);
  outputs.filtered = QuantiseFiltered(ConvolveHeld(heldLeft, heldRight, taps), source);
  return outputs;
}

std::int32_t UnpackSample24(const std::vector<std::uint8_t>& block, std::size_t element) {
  const std::uint32_t bits = block[3 * element] | (block[3 * element + 1] << 8) | (block[3 * element + 2] << 16);
  return static_cast<std::int32_t>(bits << 8) >> 8;
}

}  // namespace quenlow::test
