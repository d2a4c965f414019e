#include "support/recording.h"

#include <gtest/gtest.h>

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

}  // namespace quenlow::test
