// The tags of a WAV recording: its LIST/INFO chunk, before or after the
// audio.
#pragma once

#include <cstdint>
#include <string>

#include "wav/recording_tags.h"
#include "wav/wav_chunk_walk.h"

namespace quenlow {

// The fields of the first LIST/INFO chunk found walking the file's chunks
// (the data chunk stepped over by the size the layout found); none when the
// file has no such chunk or its chunks cannot be walked.
RecordingTags ReadWavTags(const ByteSource& source, std::uint64_t readableSize);

// The same, for a file by name.
RecordingTags ReadWavTagsOfFile(const std::string& fileName);

}  // namespace quenlow
