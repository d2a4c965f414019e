// The unfiltered output as the job produces it: the exact integer form of
// the quantiser, on all threads, in pieces.
#pragma once

#include <cstdint>

#include "dsp/signal_chain.h"
#include "dsp/uniform_source.h"
#include "dsp/worker_pool.h"

namespace quenlow {

class UnfilteredPass {
 public:
  // threads: how many threads a piece may use (0: as many as the machine has).
  UnfilteredPass(const SignalInput& input, UniformSource passStart, int threads = 0);

  // Frames [first, first + count) of the unfiltered output, packed into out:
  // the same bytes as ProduceUnfilteredFrames.
  void Produce(std::int64_t first, std::int64_t count, std::uint8_t* out);

 private:
  void ProduceRun(std::int64_t first, std::int64_t count, std::uint8_t* out) const;

  SignalInput input_;
  UniformSource passStart_;
  WorkerPool pool_;
};

}  // namespace quenlow
