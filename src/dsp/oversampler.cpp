#include "dsp/oversampler.h"

#include <cstddef>

namespace quenlow {

StereoChannels SplitChannels(const std::vector<std::int16_t>& interleaved) {
  const std::size_t frames = interleaved.size() / 2;
  StereoChannels channels;
  channels.left.resize(frames);
  channels.right.resize(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    channels.left[i] = interleaved[2 * i];
    channels.right[i] = interleaved[2 * i + 1];
  }
  return channels;
}

std::vector<std::int16_t> HoldSamples(const std::vector<std::int16_t>& channel, int ratio) {
  std::vector<std::int16_t> held(channel.size() * static_cast<std::size_t>(ratio));
  for (std::size_t i = 0; i < channel.size(); ++i) {
    for (int j = 0; j < ratio; ++j) held[i * static_cast<std::size_t>(ratio) + static_cast<std::size_t>(j)] = channel[i];
  }
  return held;
}

}  // namespace quenlow
