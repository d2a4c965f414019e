#include "dsp/filtered_pass.h"

namespace quenlow {

FilteredPass::FilteredPass(const SignalInput& input, const FilterTaps& taps, UniformSource passStart, int threads)
    : input_(input), taps_(taps), passStart_(passStart), threads_(threads) {}

void FilteredPass::Produce(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  ProduceFilteredFramesExact(input_, taps_, passStart_, first, count, out);
  exactRecomputations_ += 2 * count;
}

}  // namespace quenlow
