// The converter's staircase: the channels apart, each sample held for four
// output samples.
#pragma once

#include <cstdint>
#include <vector>

namespace quenlow {

inline constexpr int OversamplingRatio = 4;

struct StereoChannels {
  std::vector<std::int16_t> left;
  std::vector<std::int16_t> right;
};

// Interleaved left, right, left, ... into two channels.
StereoChannels SplitChannels(const std::vector<std::int16_t>& interleaved);

// Each sample repeated `ratio` times: no interpolation, no gain.
std::vector<std::int16_t> HoldSamples(const std::vector<std::int16_t>& channel, int ratio);

}  // namespace quenlow
