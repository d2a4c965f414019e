// Reading and checking the input recording: a 16-bit stereo PCM WAV file at
// 44100 or 48000 Hz.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "wav/recording_format.h"

namespace quenlow {

// The figures of the input's header.
struct WavFormatInfo {
  std::int16_t formatTag = 0;      // 1 for PCM, also when an extensible header names PCM
  std::int16_t channelCount = 0;   // the low byte of the channel field: 258 counts as 2
  std::int32_t sampleRate = 0;
  std::int32_t byteRate = 0;
  std::int16_t blockAlign = 0;
  std::int16_t bitsPerSample = 0;
  std::uint64_t dataSize = 0;      // as stored; for RF64, from the ds64 chunk
  std::uint64_t dataOffset = 44;   // where the first sample starts in the file
  std::uint64_t fileSize = 0;      // the file's length when the header was read
};

// Either an accepted header or the first check it failed.
struct WavHeaderResult {
  std::optional<WavFormatInfo> info;
  WavRejection rejection = WavRejection::kNone;
};

// Checks a header held in memory: `bytes` is the start of the file (all of
// it, or at least its chunks up to the audio and the format chunk; the walk
// takes the end of the buffer for the end of the file), `fileSize` the whole
// file's length, which bounds the frames counted.
WavHeaderResult ParseWavHeader(const std::uint8_t* bytes, std::size_t size, std::uint64_t fileSize);

// Opens the named file, reads its header and closes it before checking.
WavHeaderResult ReadWavHeader(const std::string& fileName);
// Reads and checks the header of a file already open; the file stays open.
WavHeaderResult ReadWavHeaderFrom(platform::FileHandle file);

// N, the number of stereo frames: the data size over the frame size, rounded
// half to even, but never more whole frames than the file holds.
std::int64_t SampleFrameCount(const WavFormatInfo& info);

// N / sample rate.
double DurationSeconds(const WavFormatInfo& info, std::int64_t frameCount);

}  // namespace quenlow
