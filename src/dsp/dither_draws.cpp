#include "dsp/dither_draws.h"

#include "dsp/frame_group_avx2.h"

namespace quenlow {
namespace {

constexpr int kLanes = 8;

struct AffineStep {
  std::uint32_t mul = 1;
  std::uint32_t add = 0;
};

constexpr AffineStep LaneStep() {
  AffineStep step;
  for (int i = 0; i < kLanes; ++i) {
    step.mul *= kUniformMultiplier;
    step.add = step.add * kUniformMultiplier + kUniformIncrement;
  }
  return step;
}

__attribute__((always_inline)) inline void FillDrawsIn(UniformSource& source, std::size_t count,
                                                      std::uint32_t* out) {
  std::size_t i = 0;
  if (count >= 2 * kLanes) {
    constexpr AffineStep step = LaneStep();
    std::uint32_t lane[kLanes];
    UniformSource s = source;
    for (int l = 0; l < kLanes; ++l) {
      NextDraw(s);
      lane[l] = s.state;
    }
    for (; i + kLanes <= count; i += kLanes) {
      for (int l = 0; l < kLanes; ++l) out[i + l] = lane[l] >> 1;
      source.state = lane[kLanes - 1];  // the state after the last draw written
      for (int l = 0; l < kLanes; ++l) lane[l] = lane[l] * step.mul + step.add;
    }
  }
  for (; i < count; ++i) out[i] = NextDraw(source);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void FillDrawsAvx2(UniformSource& source, std::size_t count, std::uint32_t* out) {
  FillDrawsIn(source, count, out);
}
#endif

}  // namespace

// The lanes' 32-bit multiplications vectorise well with AVX2; the plain
// build of x86-64 lacks them, so both versions are built and the processor
// decides. The check is made here rather than by the loader (target_clones),
// which Windows executables cannot do.
void FillDraws(UniformSource& source, std::size_t count, std::uint32_t* out) {
#if defined(__x86_64__)
  static const bool avx2 = ProcessorHasAvx2();
  if (avx2) {
    FillDrawsAvx2(source, count, out);
    return;
  }
#endif
  FillDrawsIn(source, count, out);
}

}  // namespace quenlow
