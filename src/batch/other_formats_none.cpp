// A build without libsndfile and libFLAC (the Windows one): the WAV family
// is read by the job's own reader, every other format is refused with one
// line, and the outputs are WAV.
#include "batch/other_formats.h"

#include <algorithm>
#include <cctype>

#include "platform/files.h"

namespace quenlow {
namespace {

// Names of the WAV family the job's reader takes as well as .wav (RF64 is
// read for files past 4 GB).
bool IsOtherWavName(const std::string& path) {
  std::string name = platform::FileNameOf(path);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.ends_with(".wave") || name.ends_with(".rf64");
}

}  // namespace

bool FlacOutputsAvailable() { return false; }

OpenedInput OpenOtherFormat(const std::string& path) {
  if (IsOtherWavName(path)) return OpenWavInput(path);
  return RejectedInput("is not a WAV file: this build reads WAV files only (.wav, .wave, .rf64); convert it first");
}

std::optional<RecordingTags> ReadOtherFormatTags(const std::string&) { return std::nullopt; }

std::unique_ptr<OutputWriter> MakeFlacWriter(const std::string&, std::int64_t, std::int64_t, const RecordingTags&) {
  return nullptr;
}

}  // namespace quenlow
