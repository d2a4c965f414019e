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
  // the same bytes as ProduceUnfilteredFrames. The input must hold the
  // frames PieceInputFrames names for the piece.
  void Produce(std::int64_t first, std::int64_t count, std::uint8_t* out);

  // Another window of the same recording, for the pieces that follow.
  void SetInput(const SignalInput& input) { input_ = input; }

  // For tests of the plain loop where the vector one would run.
  void SetVectorLoopForTesting(bool on) { vectorLoop_ = on && VectorLoopAvailable(); }
  // Whether this processor runs the vector loop (AVX2).
  static bool VectorLoopAvailable();

 private:
  void ProduceRun(std::int64_t first, std::int64_t count, std::uint8_t* out) const;
  // Frames [first, end) with the draws that follow `source`, one by one;
  // returns where the next frame goes.
  std::uint8_t* QuantisePlain(std::int64_t first, std::int64_t end, UniformSource& source, std::uint8_t* out) const;

  SignalInput input_;
  UniformSource passStart_;
  bool vectorLoop_ = VectorLoopAvailable();
  WorkerPool pool_;
};

}  // namespace quenlow
