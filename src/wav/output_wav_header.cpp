#include "wav/output_wav_header.h"

#include <cstring>

#include "wav/wav_bytes.h"

namespace quenlow {

namespace {

constexpr int kOutputBits = 24;
constexpr std::uint64_t kCanonicalHeaderSize = 44;
constexpr std::uint64_t kRf64HeaderSize = 80;
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFFu;

void PutTag(std::uint8_t* p, const char* tag) { std::memcpy(p, tag, 4); }

// "fmt " with its 16 bytes of PCM fields.
void PutFormatChunk(std::uint8_t* p, std::uint16_t channels, std::uint32_t rate, std::uint16_t blockAlign) {
  PutTag(p, "fmt ");
  WriteU32Le(p + 4, 16);
  WriteU16Le(p + 8, 1);
  WriteU16Le(p + 10, channels);
  WriteU32Le(p + 12, rate);
  WriteU32Le(p + 16, blockAlign * rate);
  WriteU16Le(p + 20, blockAlign);
  WriteU16Le(p + 22, kOutputBits);
}

}  // namespace

std::optional<OutputWavLayout> OutputWavHeader(int channelCount, std::int64_t outputSampleRate,
                                               std::int64_t frameCount, std::uint64_t riffSizeLimit,
                                               std::uint64_t trailerSize) {
  // Block align and byte rate must fit their 16- and 32-bit fields.
  if (channelCount < 2 || channelCount % 2 != 0 || channelCount > 0xFFFF / 3) return std::nullopt;
  const std::uint64_t blockAlign = static_cast<std::uint64_t>(channelCount) * kOutputBits / 8;
  if (outputSampleRate < 1 || static_cast<std::uint64_t>(outputSampleRate) * blockAlign > 0xFFFFFFFFu) {
    return std::nullopt;
  }
  // Keeps the data size, and the file size after it, inside 63 bits.
  if (frameCount < 0 || static_cast<std::uint64_t>(frameCount) > (std::uint64_t{1} << 56) / blockAlign) {
    return std::nullopt;
  }
  if (trailerSize % 2 != 0 || trailerSize > (std::uint64_t{1} << 32)) return std::nullopt;

  OutputWavLayout layout;
  layout.dataSize = blockAlign * static_cast<std::uint64_t>(frameCount);
  const std::uint64_t body = layout.dataSize + trailerSize;
  const auto channels = static_cast<std::uint16_t>(channelCount);
  const auto rate = static_cast<std::uint32_t>(outputSampleRate);
  const auto align = static_cast<std::uint16_t>(blockAlign);

  if (body + kCanonicalHeaderSize - 8 <= riffSizeLimit) {
    layout.header.assign(kCanonicalHeaderSize, 0);
    std::uint8_t* p = layout.header.data();
    PutTag(p, "RIFF");
    WriteU32Le(p + 4, static_cast<std::uint32_t>(body + kCanonicalHeaderSize - 8));
    PutTag(p + 8, "WAVE");
    PutFormatChunk(p + 12, channels, rate, align);
    PutTag(p + 36, "data");
    WriteU32Le(p + 40, static_cast<std::uint32_t>(layout.dataSize));
    return layout;
  }

  // RF64: the 32-bit sizes say "see ds64", which carries the true ones.
  layout.header.assign(kRf64HeaderSize, 0);
  std::uint8_t* p = layout.header.data();
  PutTag(p, "RF64");
  WriteU32Le(p + 4, kSizeInDs64);
  PutTag(p + 8, "WAVE");
  PutTag(p + 12, "ds64");
  WriteU32Le(p + 16, 28);
  WriteU64Le(p + 20, body + kRf64HeaderSize - 8);
  WriteU64Le(p + 28, layout.dataSize);
  WriteU64Le(p + 36, static_cast<std::uint64_t>(frameCount));
  WriteU32Le(p + 44, 0);  // no table of further chunk sizes
  PutFormatChunk(p + 48, channels, rate, align);
  PutTag(p + 72, "data");
  WriteU32Le(p + 76, kSizeInDs64);
  return layout;
}

}  // namespace quenlow
