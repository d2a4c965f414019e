#include "dsp/signal_chain.h"

#include <algorithm>

#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"

namespace quenlow {

FrameSpan PieceInputFrames(bool filtered, std::int64_t inputFrames, std::int64_t first, std::int64_t count) {
  if (count <= 0) return {};
  std::int64_t from = first / OversamplingRatio;
  if (filtered) from -= kFilterHistoryFrames;
  from = std::clamp<std::int64_t>(from, 0, inputFrames);
  const std::int64_t to = std::clamp<std::int64_t>((first + count - 1) / OversamplingRatio + 1, from, inputFrames);
  return FrameSpan{from, to - from};
}

void ProduceUnfilteredFrames(const SignalInput& input, UniformSource passStart, std::int64_t first,
                             std::int64_t count, std::uint8_t* out) {
  UniformSource source = SourceAtFrame(passStart, first);
  for (std::int64_t f = first; f < first + count; ++f) {
    const std::int16_t* frame = input.At(f / OversamplingRatio);
    PackSample24(QuantiseTo24(frame[0], source), out);
    PackSample24(QuantiseTo24(frame[1], source), out + 3);
    out += kPackedFrameBytes;
  }
}

void ProduceFilteredFramesExact(const SignalInput& input, const FilterTaps& taps, UniformSource passStart,
                                std::int64_t first, std::int64_t count, std::uint8_t* out) {
  UniformSource source = SourceAtFrame(passStart, first);
  for (std::int64_t m = first; m < first + count; ++m) {
    const double left = ExactFilteredValue(taps, input.interleaved, input.frames, 2, m);
    const double right = ExactFilteredValue(taps, input.interleaved + 1, input.frames, 2, m);
    PackSample24(QuantiseTo24(left, source), out);
    PackSample24(QuantiseTo24(right, source), out + 3);
    out += kPackedFrameBytes;
  }
}

}  // namespace quenlow
