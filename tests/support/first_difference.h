// Where two runs of packed 24-bit stereo frames first differ, as text for a
// failure message; empty when they agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quenlow::test {

// `firstFrame` numbers the frames in the message: the frame of the file or
// of the timeline that `got[0]` is.
inline std::string FirstDifference(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& expected,
                                   std::int64_t firstFrame = 0) {
  constexpr std::size_t kFrameBytes = 6;
  const std::size_t common = got.size() < expected.size() ? got.size() : expected.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (got[i] != expected[i]) {
      return "frame " + std::to_string(firstFrame + static_cast<std::int64_t>(i / kFrameBytes)) + ", " +
             ((i % kFrameBytes) < 3 ? "left" : "right") + " channel";
    }
  }
  if (got.size() != expected.size()) {
    return "sizes differ: " + std::to_string(got.size() / kFrameBytes) + " frames against " +
           std::to_string(expected.size() / kFrameBytes);
  }
  return "";
}

}  // namespace quenlow::test
