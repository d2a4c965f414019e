// The dithered 24-bit quantiser shared by both outputs.
//
// t = ((256 * G) * x + r1 + r2) - 1, each step rounded to a 64-bit
// significand, then q = t rounded half to even. G is the single-precision
// value nearest 0.999; r1 and r2 are two draws of the uniform source, so the
// dither r1 + r2 - 1 is triangular on [-1, 1).
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/uniform_source.h"

namespace quenlow {

// 16760439 / 2^24: the float nearest 0.999, widened without change.
inline constexpr double QuantiserGain = 16760439.0 / 16777216.0;
// 256 * G = 16760439 / 2^16, exact.
inline constexpr std::int64_t kGainNumerator = 16760439;

inline constexpr std::int32_t kSample24Min = -8388608;
inline constexpr std::int32_t kSample24Max = 8388607;

// 3 bytes a sample (low 24 bits, least significant first), left then right,
// frame after frame.
using PackedSampleBlock = std::vector<std::uint8_t>;

// A held 16-bit sample with its two draws k1, k2 (the draws' values being
// k / 2^31). Every step is exact at 64 bits, so this is the integer form
// q = round-half-even((16760439 * 2^15 * s + k1 + k2 - 2^31) / 2^31).
std::int32_t QuantiseHeldSample(std::int16_t sample, std::uint32_t k1, std::uint32_t k2);

// A filtered value with its two draws, by the extended-precision steps. A
// result beyond the 24-bit range saturates and a value that is not a number
// gives 0: wrapping would turn an overshoot into a full-scale click.
std::int32_t QuantiseFilteredValue(double value, std::uint32_t k1, std::uint32_t k2);

// The same, telling whether the sample was saturated: its rounding lay past
// the 24-bit range (a NaN gives 0 and is not counted).
struct FilteredSample {
  std::int32_t q = 0;
  bool clipped = false;
};
FilteredSample QuantiseFilteredSample(double value, std::uint32_t k1, std::uint32_t k2);

// The same two, drawing from the source (first draw, then second).
std::int32_t QuantiseTo24(std::int16_t sample, UniformSource& source);
std::int32_t QuantiseTo24(double value, UniformSource& source);

inline void PackSample24(std::int32_t q, std::uint8_t* out) {
  const auto bits = static_cast<std::uint32_t>(q);
  out[0] = static_cast<std::uint8_t>(bits & 0xFFu);
  out[1] = static_cast<std::uint8_t>((bits >> 8) & 0xFFu);
  out[2] = static_cast<std::uint8_t>((bits >> 16) & 0xFFu);
}

// The unfiltered block of held.size() frames, four draws a frame in the order
// left first, left second, right first, right second.
PackedSampleBlock QuantiseHeld(const std::vector<std::int16_t>& heldLeft,
                               const std::vector<std::int16_t>& heldRight, UniformSource& source);

}  // namespace quenlow
