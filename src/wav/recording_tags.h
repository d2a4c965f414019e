// A recording's tags (title, artist, album, track and the like) as the
// outputs carry them: Vorbis-comment fields, NAME=value, names in upper
// case, in the order found. FLAC outputs hold them as Vorbis comments; a WAV
// output asked to carry them holds the ones a LIST/INFO chunk knows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenlow {

struct TagField {
  std::string name;   // upper case: TITLE, ARTIST, ALBUM, TRACKNUMBER, ...
  std::string value;  // UTF-8
  bool operator==(const TagField&) const = default;
};

using RecordingTags = std::vector<TagField>;

// The first value of a field, if any.
std::optional<std::string> TagValue(const RecordingTags& tags, std::string_view name);

// The tags of one output: the recording's, with the title marked so the two
// outputs stay apart in a music library (" (unfiltered, Quenlow)"), a title
// made from `fallbackTitle` when the recording has none, and, for the
// filtered output, a comment naming the coefficient file's SHA-256.
enum class OutputKind { Unfiltered, Filtered };
RecordingTags OutputTags(const RecordingTags& recording, OutputKind kind, std::string_view fallbackTitle,
                         std::string_view filterSha256);

// A LIST chunk of type INFO for a WAV file: the fields it has a place for
// (INAM, IART, IPRD, ITRK, ICRD, IGNR, ICMT, ICOP), each NUL-terminated and
// padded to an even size. Empty when none applies.
std::vector<std::uint8_t> InfoChunk(const RecordingTags& tags);

// The fields of a LIST/INFO chunk's body (after "INFO"), as tags; what is
// malformed is skipped.
RecordingTags TagsOfInfoChunk(const std::uint8_t* body, std::size_t size);

}  // namespace quenlow
