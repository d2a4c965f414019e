// What the batch reads and writes beyond WAV, where the build has the
// libraries for it: on Linux every format libsndfile decodes, FLAC outputs
// and FLAC tags (other_formats_sndfile.cpp); the Windows build, which has
// neither library, reads the WAV family alone and writes WAV
// (other_formats_none.cpp). CMake links the build's own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "batch/batch_source.h"
#include "wav/output_writer.h"
#include "wav/recording_tags.h"

namespace quenlow {

// Whether --format flac can be offered.
bool FlacOutputsAvailable();

// An input whose name does not end in .wav.
OpenedInput OpenOtherFormat(const std::string& path);

// The tags of a recording in another format (a FLAC file's Vorbis comments);
// nothing when it is not one or has none.
std::optional<RecordingTags> ReadOtherFormatTags(const std::string& path);

// A FLAC output; only called when FlacOutputsAvailable.
std::unique_ptr<OutputWriter> MakeFlacWriter(const std::string& name, std::int64_t rate, std::int64_t frames,
                                             const RecordingTags& tags);

}  // namespace quenlow
