#include "wav/wav_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "wav/wav_bytes.h"
#include "wav/wav_chunk_walk.h"

namespace quenlow {

namespace {

constexpr const char* kNotWave = " This is not a Wave file  ";
constexpr const char* kNotPcm = "This is not a PCM format Wave file  ";
constexpr const char* kNotStereo = "This is not a stereo file  ";
constexpr const char* kNot16Bit = "This is not a 16-bit file  ";
constexpr const char* kWrongRate = "This is not an Fs=44.1 or 48kHz file  ";

// A data size of 2^31 or more is what streaming writers leave when they never
// learn the length (0xFFFFFFFF); it stands for "up to the end of the file".
constexpr std::uint32_t kOpenEndedDataSize = 0x80000000u;

WavHeaderResult Rejection(const char* message) { return WavHeaderResult{std::nullopt, message}; }

WavFormatInfo FormatInfoOf(const WavLayout& layout, std::uint64_t fileSize) {
  const std::uint8_t* f = layout.formatFields.data();
  WavFormatInfo info;
  info.formatTag = static_cast<std::int16_t>(ReadU16Le(f));
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

// The checks run in this order: it decides the message for a file that breaks
// several rules.
WavHeaderResult CheckLayout(const WavLayout& layout, std::uint64_t fileSize) {
  if (!layout.formIsWave) return Rejection(kNotWave);
  const WavFormatInfo info = FormatInfoOf(layout, fileSize);
  if (info.formatTag != 1) return Rejection(kNotPcm);
  if (info.channelCount != 2) return Rejection(kNotStereo);
  if (info.bitsPerSample != 16) return Rejection(kNot16Bit);
  if (info.sampleRate != 44100 && info.sampleRate != 48000) return Rejection(kWrongRate);
  return WavHeaderResult{info, ""};
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
  if (file.handle == platform::kNoFile) return Rejection(kNotWave);
  const std::uint64_t fileSize = platform::RegularFileSize(file.handle).value_or(0);
  // Only the chunk headers and the format fields are read, so a large
  // metadata chunk ahead of the audio costs one seek, not a read.
  const ByteSource fromFile = [&file](std::uint64_t offset, std::uint8_t* out, std::size_t want) {
    return platform::ReadAt(file.handle, offset, out, want);
  };
  const WavLayout layout = LocateWavLayout(fromFile, fileSize);
  platform::CloseFile(file.handle);
  return CheckLayout(layout, fileSize);
}

std::int64_t SampleFrameCount(const WavFormatInfo& info) {
  if (info.bitsPerSample <= 0 || info.channelCount <= 0) return 0;
  const std::uint64_t bitsPerFrame =
      static_cast<std::uint64_t>(info.bitsPerSample) * static_cast<std::uint64_t>(info.channelCount);

  if (info.dataSize >= kOpenEndedDataSize) {
    // Whole frames only: the file's real length, not the header, decides.
    const std::uint64_t held = info.fileSize > info.dataOffset ? info.fileSize - info.dataOffset : 0;
    // No file comes near 2^60 bytes; the cap keeps held * 8 inside 64 bits.
    const std::uint64_t capped = std::min<std::uint64_t>(held, std::uint64_t{1} << 60);
    return static_cast<std::int64_t>(capped * 8 / bitsPerFrame);
  }

  // D * 8 / bits per frame, a half rounded to the even neighbour.
  const std::uint64_t bits = std::uint64_t{info.dataSize} * 8;
  std::uint64_t quotient = bits / bitsPerFrame;
  const std::uint64_t twiceRemainder = 2 * (bits % bitsPerFrame);
  if (twiceRemainder > bitsPerFrame || (twiceRemainder == bitsPerFrame && quotient % 2 == 1)) ++quotient;
  return static_cast<std::int64_t>(quotient);
}

double DurationSeconds(const WavFormatInfo& info, std::int64_t frameCount) {
  if (info.sampleRate <= 0) return 0.0;
  return static_cast<double>(frameCount) / static_cast<double>(info.sampleRate);
}

}  // namespace quenlow
