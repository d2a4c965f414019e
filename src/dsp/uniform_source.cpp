#include "dsp/uniform_source.h"

namespace quenlow {

UniformSource JumpAhead(UniformSource source, std::uint64_t draws) {
  // (mul, add) is the map x -> mul * x + add for the current power of two of
  // steps; (totalMul, totalAdd) is the map of the steps taken so far.
  std::uint32_t mul = kUniformMultiplier;
  std::uint32_t add = kUniformIncrement;
  std::uint32_t totalMul = 1;
  std::uint32_t totalAdd = 0;
  while (draws != 0) {
    if (draws & 1u) {
      totalMul = totalMul * mul;
      totalAdd = totalAdd * mul + add;
    }
    add = add * mul + add;
    mul = mul * mul;
    draws >>= 1;
  }
  source.state = source.state * totalMul + totalAdd;
  return source;
}

}  // namespace quenlow
