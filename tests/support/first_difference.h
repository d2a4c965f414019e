// Where two outputs first differ, for a failure message: the header byte, or
// the frame and channel of the 24-bit stereo samples after it. Empty when
// they are the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quenlow::test {

// `dataOffset` is where the samples start (44 behind a canonical header, 0
// for sample bytes alone).
inline std::string FirstDifference(const std::vector<std::uint8_t>& actual, const std::vector<std::uint8_t>& expected,
                                   std::size_t dataOffset = 0) {
  constexpr std::size_t kFrameBytes = 6;
  const std::size_t common = actual.size() < expected.size() ? actual.size() : expected.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (actual[i] == expected[i]) continue;
    if (i < dataOffset) return "header byte " + std::to_string(i);
    const std::size_t at = i - dataOffset;
    return "frame " + std::to_string(at / kFrameBytes) + ", " + (at % kFrameBytes < 3 ? "left" : "right") +
           " channel";
  }
  if (actual.size() == expected.size()) return "";
  return std::to_string(actual.size()) + " bytes where " + std::to_string(expected.size()) + " were expected";
}

}  // namespace quenlow::test
