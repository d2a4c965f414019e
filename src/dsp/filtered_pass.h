// The filtered output as the job produces it: the fastest path that gives
// exactly the bytes of the reference arithmetic.
//
// Each value is computed fast from phase taps (fast_filter_phase.h) and
// quantised when its fast quantiser input lies far enough from every rounding
// boundary that the reference's value surely rounds the same way
// (fast_filter_bound.h); the few others are recomputed by the reference's own
// sequence of roundings. docs/fast-filter.md gives the reasoning.
#pragma once

#include <atomic>
#include <cstdint>

#include "dsp/fast_filter_kernel.h"
#include "dsp/fast_filter_phase.h"
#include "dsp/filter_taps.h"
#include "dsp/signal_chain.h"
#include "dsp/uniform_source.h"
#include "dsp/worker_pool.h"

namespace quenlow {

// How loud a pass's output came out: how many samples the quantiser
// saturated, and the largest magnitude its input reached before saturation,
// in 24-bit units (full scale is 2^23). The count is exact; the peak is
// taken from the fast values, close to but not always the reference's.
struct OutputLevels {
  std::int64_t clipped = 0;
  double peak = 0.0;
};

class FilteredPass {
 public:
  // threads: how many threads a piece may use (0: as many as the machine has).
  FilteredPass(const SignalInput& input, const FilterTaps& taps, UniformSource passStart, int threads = 0);

  // Frames [first, first + count) of the filtered output, packed into out.
  // Pieces may be asked for in any order; the input must hold the frames
  // PieceInputFrames names for the piece.
  void Produce(std::int64_t first, std::int64_t count, std::uint8_t* out);

  // Another window of the same recording, for the pieces that follow.
  void SetInput(const SignalInput& input) { input_ = input; }

  // How many values had to be recomputed by the exact reference sequence.
  std::int64_t ExactRecomputations() const { return exactRecomputations_.load(); }

  // The levels of every frame produced so far.
  OutputLevels Levels() const { return {clipped_.load(), peak_.load()}; }

  // Whether these taps go the fast way at all (finite, of sensible size).
  bool UsesFastPath() const { return fastPath_; }

  // For tests of the certification: scales the margin around every fast
  // value. Below 1 the certification is no longer sound.
  void SetMarginScaleForTesting(double scale) { marginScale_ = scale; }
  // For tests of each kernel the processor runs.
  void SetKernelForTesting(PhaseKernel kernel) { kernel_ = kernel; }
  // For tests of the plain quantising loop where the vector one would run.
  void SetVectorLoopForTesting(bool on) { vectorLoop_ = on && VectorLoopAvailable(); }
  // Whether this processor runs the vector quantising loop (AVX2).
  static bool VectorLoopAvailable();

 private:
  void ProduceRun(std::int64_t first, std::int64_t count, std::uint8_t* out);
  std::int32_t ExactSample(int channel, std::int64_t frame, std::uint32_t k1, std::uint32_t k2,
                           OutputLevels& levels);
  void AddLevels(const OutputLevels& levels);

  SignalInput input_;
  FilterTaps taps_;
  UniformSource passStart_;
  PhaseTaps phaseTaps_;
  double sumOfTapMagnitudes_ = 0.0;
  bool fastPath_ = false;
  double marginScale_ = 1.0;
  PhaseKernel kernel_;
  bool vectorLoop_ = VectorLoopAvailable();
  WorkerPool pool_;
  std::atomic<std::int64_t> exactRecomputations_{0};
  std::atomic<std::int64_t> clipped_{0};
  std::atomic<double> peak_{0.0};
};

}  // namespace quenlow
