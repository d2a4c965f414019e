// The fast filter's inner loop: phase-tap dot products for a run of input
// samples of one channel, in ordinary double arithmetic. The variant is
// chosen at run time from what the processor offers (AVX-512, AVX2 with FMA,
// or a plain loop the compiler vectorises), so one binary runs on any x86-64;
// other processors get the plain loop. All variants obey the same error bound
// (fast_filter_bound.h), whatever order they add in.
#pragma once

#include <string>
#include <vector>

#include "dsp/fast_filter_phase.h"

namespace quenlow {

// Kernels work in steps of this many samples: the arrays must have room for
// n rounded up to a multiple of it.
inline constexpr int kKernelStep = 16;

// out[r * stride + i] = filtered value 4 (p0 + i) + r, for i in [0, n) (and
// on to the next multiple of kKernelStep). `samples` points at input sample
// p0 as a double, with kPhaseDelays - 1 samples before it (zeros before the
// recording's start) and the rounded-up run after it.
using PhaseKernel = void (*)(const PhaseTaps& taps, const double* samples, int n, double* out, int stride);

struct NamedPhaseKernel {
  std::string name;
  PhaseKernel kernel;
};

// The best kernel this processor runs.
NamedPhaseKernel SelectPhaseKernel();

// Every kernel this processor runs, the plain one first.
std::vector<NamedPhaseKernel> AvailablePhaseKernels();

}  // namespace quenlow
