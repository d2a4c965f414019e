#include "app/job.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/filter_file.h"
#include "dsp/filter_taps.h"
#include "dsp/filtered_pass.h"
#include "dsp/signal_chain.h"
#include "wav/wav_writer.h"

namespace quenlow {
namespace {

// Frames produced and handed to the writer at a time: large enough that the
// per-piece work is negligible, small enough to keep memory flat.
constexpr std::int64_t kPieceFrames = std::int64_t{1} << 16;

template <typename Produce>
WriteResult WritePass(const std::string& name, const WavFormatInfo& info, std::int64_t frames,
                      Produce produce) {
  OutputWavWriter writer(name, 2, std::int64_t{info.sampleRate} * OversamplingRatio, frames);
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min(frames, kPieceFrames)) * kPackedFrameBytes);
  for (std::int64_t first = 0; first < frames && writer.Ok(); first += kPieceFrames) {
    const std::int64_t count = std::min(kPieceFrames, frames - first);
    produce(first, count, piece.data());
    writer.Append(piece.data(), static_cast<std::size_t>(count) * kPackedFrameBytes);
  }
  return writer.Finish();
}

void Tell(const JobOptions& options, const std::string& message) {
  if (options.tell) options.tell(message);
}

// The taps, or all zeros (the filtered file then holds the dither alone) with
// the user told why.
FilterTaps ObtainTaps(const JobOptions& options) {
  std::optional<std::string> path =
      options.filterFile.empty() ? FindFilterFile() : std::optional<std::string>(options.filterFile);
  if (!path) {
    Tell(options, " recfilt.dat not found: the filtered file will hold dither only  ");
    return FilterTaps{};
  }
  std::optional<FilterTaps> taps = LoadFilterTaps(*path);
  if (!taps) {
    Tell(options, " " + *path + " cannot be read: the filtered file will hold dither only  ");
    return FilterTaps{};
  }
  return *taps;
}

}  // namespace

bool ProcessRecording(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount,
                      const JobOptions& options) {
  const std::string unfilteredName = OutputFileName(inputFileName, kUnfilteredSuffix);
  const std::string filteredName = OutputFileName(inputFileName, kFilteredSuffix);

  std::optional<std::vector<std::int16_t>> samples = ReadSampleBlock(inputFileName, info, frameCount);
  if (!samples) {
    Tell(options, " Not enough memory for this recording  ");
    return false;
  }
  const SignalInput input{samples->data(), frameCount};
  const UniformSource jobStart;
  bool allWritten = true;

  const WriteResult unfiltered = WritePass(
      unfilteredName, info, UnfilteredFrameCount(frameCount),
      [&](std::int64_t first, std::int64_t count, std::uint8_t* out) {
        ProduceUnfilteredFrames(input, jobStart, first, count, out);
      });
  if (!unfiltered.ok) {
    Tell(options, " " + unfiltered.reason + "  ");
    allWritten = false;
  }

  const FilterTaps taps = ObtainTaps(options);
  FilteredPass filteredPass(input, taps, FilteredPassStart(jobStart, frameCount));
  const WriteResult filtered = WritePass(
      filteredName, info, FilteredFrameCount(frameCount),
      [&](std::int64_t first, std::int64_t count, std::uint8_t* out) { filteredPass.Produce(first, count, out); });
  if (!filtered.ok) {
    Tell(options, " " + filtered.reason + "  ");
    allWritten = false;
  }
  return allWritten;
}

}  // namespace quenlow
