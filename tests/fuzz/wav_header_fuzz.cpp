// Feeds arbitrary bytes to the WAV header check, as if they were the start of
// a file the user typed: chunk walk, RF64 ds64 sizes, extensible formats and
// the canonical fallback. It must never read outside the buffer, overflow,
// or accept a header it then cannot size. The last eight bytes also serve as a
// file length, so that lengths unrelated to the buffer are tried too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dsp/signal_chain.h"
#include "wav/output_wav_header.h"
#include "wav/wav_reader.h"

namespace {

std::uint64_t FileSizeFromTail(const std::uint8_t* data, std::size_t size) {
  std::uint64_t value = 0;
  if (size >= 8) std::memcpy(&value, data + size - 8, sizeof value);
  return value;
}

void Require(bool holds) {
  if (!holds) std::abort();
}

void CheckAccepted(const quenlow::WavHeaderResult& result) {
  using namespace quenlow;
  if (!result.info) {
    Require(result.rejection != quenlow::WavRejection::kNone);
    return;
  }
  const WavFormatInfo& info = *result.info;
  Require(result.rejection == quenlow::WavRejection::kNone);
  Require(info.formatTag == 1 && info.channelCount == 2 && info.bitsPerSample == 16);
  Require(info.sampleRate == 44100 || info.sampleRate == 48000);
  Require(info.dataOffset >= 20);

  const std::int64_t frames = SampleFrameCount(info);
  Require(frames >= 0);
  // Never more frames than the stored size (rounded) or whole frames than
  // the file holds from the first sample on.
  const std::uint64_t held = info.fileSize > info.dataOffset ? info.fileSize - info.dataOffset : 0;
  Require(static_cast<std::uint64_t>(frames) <= info.dataSize / 4 + 1);
  Require(static_cast<std::uint64_t>(frames) <= held / 4);
  Require(DurationSeconds(info, frames) >= 0.0);

  // The output headers for that many frames must be computable too.
  if (frames <= (std::int64_t{1} << 40)) {
    const auto rate = std::int64_t{info.sampleRate} * OversamplingRatio;
    const auto unfiltered = OutputWavHeader(2, rate, UnfilteredFrameCount(frames));
    const auto filtered = OutputWavHeader(2, rate, FilteredFrameCount(frames));
    Require(unfiltered && filtered);
    Require(filtered->dataSize == static_cast<std::uint64_t>(FilteredFrameCount(frames)) * 6);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckAccepted(quenlow::ParseWavHeader(data, size, size));
  CheckAccepted(quenlow::ParseWavHeader(data, size, FileSizeFromTail(data, size)));
  return 0;
}
