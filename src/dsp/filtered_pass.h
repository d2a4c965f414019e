// The filtered output as the job produces it: the fastest path that gives
// exactly the bytes of the reference arithmetic.
#pragma once

#include <cstdint>

#include "dsp/filter_taps.h"
#include "dsp/signal_chain.h"
#include "dsp/uniform_source.h"

namespace quenlow {

class FilteredPass {
 public:
  // threads: how many threads a piece may use (0: as many as the machine has).
  FilteredPass(const SignalInput& input, const FilterTaps& taps, UniformSource passStart, int threads = 0);

  // Frames [first, first + count) of the filtered output, packed into out.
  void Produce(std::int64_t first, std::int64_t count, std::uint8_t* out);

  // How many values had to be recomputed by the exact reference sequence.
  std::int64_t ExactRecomputations() const { return exactRecomputations_; }

 private:
  SignalInput input_;
  FilterTaps taps_;
  UniformSource passStart_;
  int threads_;
  std::int64_t exactRecomputations_ = 0;
};

}  // namespace quenlow
