#include "dsp/signal_chain.h"

#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"

namespace quenlow {

void ProduceUnfilteredFrames(const SignalInput& input, UniformSource passStart, std::int64_t first,
                             std::int64_t count, std::uint8_t* out) {
  UniformSource source = SourceAtFrame(passStart, first);
  for (std::int64_t f = first; f < first + count; ++f) {
    const std::int16_t* frame = input.interleaved + 2 * (f / OversamplingRatio);
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
