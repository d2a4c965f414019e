// The tags of a FLAC recording: every Vorbis comment, names in upper case.
#pragma once

#include <optional>
#include <string>

#include "wav/recording_tags.h"

namespace quenlow {

// Nothing when the file is not FLAC or has no Vorbis comment block.
std::optional<RecordingTags> ReadFlacTags(const std::string& fileName);

}  // namespace quenlow
