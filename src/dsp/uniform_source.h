// The dither's only source of randomness: a 32-bit linear congruential
// generator with a fixed start, so equal inputs give equal output files.
#pragma once

#include <cstdint>

namespace quenlow {

struct UniformSource {
  std::uint32_t state = 0xFFFFFFFFu;
};

inline constexpr std::uint32_t kUniformMultiplier = 134775813u;
inline constexpr std::uint32_t kUniformIncrement = 1u;

// Advances the state one step and returns k, the 31 high bits of the new
// state; the draw's value is k / 2^31.
inline std::uint32_t NextDraw(UniformSource& source) {
  source.state = source.state * kUniformMultiplier + kUniformIncrement;
  return source.state >> 1;
}

// A draw as the value in [0, 1) that the quantiser adds: k * 2^-31, exact.
inline double NextUniform(UniformSource& source) {
  return static_cast<double>(NextDraw(source)) * 0x1p-31;
}

// The source as it stands after `draws` further steps. Each step is an affine
// map modulo 2^32, so any number of them compose into one map, found by
// squaring in log2(draws) steps: blocks of the job can start anywhere in the
// sequence and still use the same draws.
UniformSource JumpAhead(UniformSource source, std::uint64_t draws);

}  // namespace quenlow
