#include "flac/flac_tags.h"

#include <FLAC/metadata.h>

#include <cctype>
#include <cstdlib>

namespace quenlow {

std::optional<RecordingTags> ReadFlacTags(const std::string& fileName) {
  FLAC__StreamMetadata* block = nullptr;
  if (!FLAC__metadata_get_tags(fileName.c_str(), &block) || block == nullptr) return std::nullopt;
  RecordingTags tags;
  const FLAC__StreamMetadata_VorbisComment& comments = block->data.vorbis_comment;
  for (FLAC__uint32 i = 0; i < comments.num_comments; ++i) {
    char* name = nullptr;
    char* value = nullptr;
    if (!FLAC__metadata_object_vorbiscomment_entry_to_name_value_pair(comments.comments[i], &name, &value)) continue;
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    tags.push_back({upper, value});
    std::free(name);
    std::free(value);
  }
  FLAC__metadata_object_delete(block);
  return tags;
}

}  // namespace quenlow
