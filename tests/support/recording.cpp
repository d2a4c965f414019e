#include "support/recording.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quenlow::test {

Bytes SamplesAsBytes(const std::vector<std::int16_t>& samples) {
  Bytes bytes;
  for (std::int16_t s : samples) {
    bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
  }
  return bytes;
}

Recording WriteRecording(const ScratchFolder& folder, const std::string& name,
                         const std::vector<std::int16_t>& samples, std::uint32_t sampleRate) {
  HeaderFigures figures;
  figures.sampleRate = sampleRate;
  figures.dataSize = static_cast<std::uint32_t>(samples.size() * 2);
  Recording recording;
  recording.samples = samples;
  recording.path = folder.Write(name, Join({CanonicalHeader(figures), SamplesAsBytes(samples)}));
  const WavHeaderResult header = ReadWavHeader(recording.path);
  EXPECT_TRUE(header.info.has_value()) << "rejected: " << static_cast<int>(header.rejection);
  if (header.info) recording.info = *header.info;
  recording.frames = SampleFrameCount(recording.info);
  return recording;
}

std::string FirstOutputDifference(const Bytes& got, const Bytes& expected) {
  constexpr std::size_t kHeader = 44, kFrame = 6;
  const std::size_t common = std::min(got.size(), expected.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (got[i] == expected[i]) continue;
    if (i < kHeader) return "header byte " + std::to_string(i);
    return "frame " + std::to_string((i - kHeader) / kFrame) + ", " +
           ((i - kHeader) % kFrame < 3 ? "left" : "right") + " channel";
  }
  if (got.size() != expected.size()) {
    return "sizes differ: " + std::to_string(got.size()) + " and " + std::to_string(expected.size());
  }
  return "";
}

}  // namespace quenlow::test
