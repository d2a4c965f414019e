#include "wav/wav_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "platform/files.h"
#include "wav/wav_bytes.h"
#include "wav/wav_chunk_walk.h"
#include "wav/recording_format.h"

namespace quenlow {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint32_t kExtensibleFormatSize = 40;
constexpr std::uint16_t kExtensionSize = 22;
// The sub-format of an extensible header that means integer PCM.
constexpr std::uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                            0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The header is walked from the file through a window of this size, so that
// thousands of small chunks ahead of the audio cost a handful of reads.
constexpr std::size_t kReadWindow = 64 * 1024;

// Reads through a window that follows the walk forward.
class WindowedFileSource {
 public:
  explicit WindowedFileSource(platform::FileHandle file) : file_(file) {}

  std::size_t Read(std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    if (size > kReadWindow) return platform::ReadAt(file_, offset, out, size);
    if (offset < start_ || offset - start_ + size > filled_) {
      filled_ = platform::ReadAt(file_, offset, window_.data(), window_.size());
      start_ = offset;
    }
    const std::size_t got = static_cast<std::size_t>(std::min<std::uint64_t>(size, filled_ - (offset - start_)));
    std::memcpy(out, window_.data() + (offset - start_), got);
    return got;
  }

 private:
  platform::FileHandle file_;
  std::array<std::uint8_t, kReadWindow> window_{};
  std::uint64_t start_ = 0;
  std::size_t filled_ = 0;
};

// An extensible header (a format chunk of 40 bytes or more) must carry its
// 22 extension bytes, and a 16-bit container of PCM must hold 16 valid bits:
// read as plain 16-bit, fewer valid bits would play their padding as sound.
bool DamagedExtensible(const WavLayout& layout) {
  const std::uint8_t* f = layout.formatFields.data();
  if (ReadU16Le(f) != kFormatExtensible || layout.formatSize < kExtensibleFormatSize) return false;
  if (ReadU16Le(f + 16) < kExtensionSize) return true;
  const bool pcm = std::memcmp(f + 24, kPcmSubFormat, sizeof kPcmSubFormat) == 0;
  return pcm && ReadU16Le(f + 14) == 16 && ReadU16Le(f + 18) != 16;
}

WavHeaderResult Rejection(WavRejection why) { return WavHeaderResult{std::nullopt, why}; }

WavFormatInfo FormatInfoOf(const WavLayout& layout, std::uint64_t fileSize) {
  const std::uint8_t* f = layout.formatFields.data();
  WavFormatInfo info;
  std::uint16_t tag = ReadU16Le(f);
  // An extensible header names its real format in the sub-format.
  if (tag == kFormatExtensible && layout.formatSize >= kExtensibleFormatSize &&
      std::memcmp(f + 24, kPcmSubFormat, sizeof kPcmSubFormat) == 0) {
    tag = kFormatPcm;
  }
  info.formatTag = static_cast<std::int16_t>(tag);
  // Only the low byte of the channel field counts.
  info.channelCount = f[2];
  info.sampleRate = static_cast<std::int32_t>(ReadU32Le(f + 4));
  info.byteRate = static_cast<std::int32_t>(ReadU32Le(f + 8));
  info.blockAlign = static_cast<std::int16_t>(ReadU16Le(f + 12));
  info.bitsPerSample = static_cast<std::int16_t>(ReadU16Le(f + 14));
  info.dataSize = layout.dataSize;
  info.dataOffset = layout.dataOffset;
  info.fileSize = fileSize;
  return info;
}

// The checks run in this order: it decides the reason given for a file that
// breaks several rules.
WavHeaderResult CheckLayout(const WavLayout& layout, std::uint64_t fileSize) {
  if (!layout.formIsWave) return Rejection(WavRejection::kNotWave);
  if (layout.chunks == ChunkLayout::CutShort || layout.chunks == ChunkLayout::Damaged) {
    return Rejection(WavRejection::kCutShort);
  }
  if (DamagedExtensible(layout)) return Rejection(WavRejection::kCutShort);
  if (layout.chunks == ChunkLayout::Incomplete) return Rejection(WavRejection::kIncomplete);
  const WavFormatInfo info = FormatInfoOf(layout, fileSize);
  const WavRejection format =
      CheckRecordingFormat(info.formatTag == kFormatPcm, info.channelCount, info.bitsPerSample, info.sampleRate);
  if (format != WavRejection::kNone) return Rejection(format);
  return WavHeaderResult{info, WavRejection::kNone};
}

}  // namespace

WavHeaderResult ParseWavHeader(const std::uint8_t* bytes, std::size_t size, std::uint64_t fileSize) {
  if (bytes == nullptr) size = 0;
  const ByteSource fromMemory = [bytes, size](std::uint64_t offset, std::uint8_t* out, std::size_t want) {
    if (offset >= size) return std::size_t{0};
    const std::size_t got = std::min<std::uint64_t>(want, size - offset);
    std::memcpy(out, bytes + offset, got);
    return got;
  };
  return CheckLayout(LocateWavLayout(fromMemory, size), fileSize);
}

WavHeaderResult ReadWavHeader(const std::string& fileName) {
  // The open never waits, so that a named pipe given as the input cannot
  // hang the prompt; only regular files are read.
  const platform::OpenedFile file = platform::OpenForReading(fileName);
  if (file.handle == platform::kNoFile) return Rejection(WavRejection::kNotWave);
  WavHeaderResult result = ReadWavHeaderFrom(file.handle);
  platform::CloseFile(file.handle);
  return result;
}

WavHeaderResult ReadWavHeaderFrom(platform::FileHandle file) {
  const std::uint64_t fileSize = platform::RegularFileSize(file).value_or(0);
  // Only the chunk headers and the format fields are read, so a large
  // metadata chunk ahead of the audio costs one seek, not a read.
  auto window = std::make_unique<WindowedFileSource>(file);
  const ByteSource fromFile = [&window](std::uint64_t offset, std::uint8_t* out, std::size_t want) {
    return window->Read(offset, out, want);
  };
  return CheckLayout(LocateWavLayout(fromFile, fileSize), fileSize);
}

std::int64_t SampleFrameCount(const WavFormatInfo& info) {
  if (info.bitsPerSample <= 0 || info.channelCount <= 0) return 0;
  const std::uint64_t bitsPerFrame =
      static_cast<std::uint64_t>(info.bitsPerSample) * static_cast<std::uint64_t>(info.channelCount);
  // The bytes the file holds from the first sample on; no file comes near
  // 2^60 bytes, and the cap keeps the sums below inside 64 bits.
  const std::uint64_t held =
      std::min<std::uint64_t>(info.fileSize > info.dataOffset ? info.fileSize - info.dataOffset : 0,
                              std::uint64_t{1} << 60);
  const std::uint64_t wholeFramesHeld = held * 8 / bitsPerFrame;
  // A size larger than the file (a recording cut short, or still being
  // copied) counts the whole frames the file holds.
  if (info.dataSize > held) return static_cast<std::int64_t>(wholeFramesHeld);

  // D * 8 / bits per frame, a half rounded to the even neighbour.
  const std::uint64_t bits = info.dataSize * 8;
  std::uint64_t quotient = bits / bitsPerFrame;
  const std::uint64_t twiceRemainder = 2 * (bits % bitsPerFrame);
  if (twiceRemainder > bitsPerFrame || (twiceRemainder == bitsPerFrame && quotient % 2 == 1)) ++quotient;
  return static_cast<std::int64_t>(std::min(quotient, wholeFramesHeld));
}

double DurationSeconds(const WavFormatInfo& info, std::int64_t frameCount) {
  if (info.sampleRate <= 0) return 0.0;
  return static_cast<double>(frameCount) / static_cast<double>(info.sampleRate);
}

}  // namespace quenlow
