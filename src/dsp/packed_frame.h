// Packing one output frame (left and right 24-bit samples, 6 bytes).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "dsp/quantiser.h"

namespace quenlow {

inline void PackFrame24(std::int32_t left, std::int32_t right, std::uint8_t* out) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint64_t bits = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(left)) & 0xFFFFFFu) |
                               (static_cast<std::uint64_t>(static_cast<std::uint32_t>(right)) & 0xFFFFFFu) << 24;
    std::memcpy(out, &bits, 6);
  } else {
    PackSample24(left, out);
    PackSample24(right, out + 3);
  }
}

// Splits [first, first + count) into tasks of at most `step` frames for a
// worker pool: task i starts at first + i * step.
inline int TaskCount(std::int64_t count, std::int64_t step) {
  return static_cast<int>((count + step - 1) / step);
}

}  // namespace quenlow
