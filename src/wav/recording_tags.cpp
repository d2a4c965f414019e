#include "wav/recording_tags.h"

#include <array>
#include <cstring>

#include "wav/wav_bytes.h"

namespace quenlow {
namespace {

struct InfoId {
  const char* id;
  const char* name;
};

// The INFO fields that have a Vorbis-comment counterpart, in the order written.
constexpr std::array<InfoId, 8> kInfoIds = {{{"INAM", "TITLE"},
                                             {"IART", "ARTIST"},
                                             {"IPRD", "ALBUM"},
                                             {"ITRK", "TRACKNUMBER"},
                                             {"ICRD", "DATE"},
                                             {"IGNR", "GENRE"},
                                             {"ICMT", "COMMENT"},
                                             {"ICOP", "COPYRIGHT"}}};

void PutU32Le(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutId(std::vector<std::uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

}  // namespace

std::optional<std::string> TagValue(const RecordingTags& tags, std::string_view name) {
  for (const TagField& field : tags) {
    if (field.name == name) return field.value;
  }
  return std::nullopt;
}

RecordingTags OutputTags(const RecordingTags& recording, OutputKind kind, std::string_view fallbackTitle,
                         std::string_view filterSha256) {
  const std::string mark = kind == OutputKind::Unfiltered ? " (unfiltered, Quenlow)" : " (filtered, Quenlow)";
  RecordingTags tags;
  bool titled = false;
  for (const TagField& field : recording) {
    if (field.name == "TITLE" && !titled) {
      tags.push_back({field.name, field.value + mark});
      titled = true;
    } else {
      tags.push_back(field);
    }
  }
  if (!titled) tags.insert(tags.begin(), TagField{"TITLE", std::string(fallbackTitle) + mark});
  if (kind == OutputKind::Filtered && !filterSha256.empty()) {
    tags.push_back({"COMMENT", "Quenlow reconstruction filter SHA-256 " + std::string(filterSha256)});
  }
  return tags;
}

std::vector<std::uint8_t> InfoChunk(const RecordingTags& tags) {
  std::vector<std::uint8_t> body;
  PutId(body, "INFO");
  for (const InfoId& info : kInfoIds) {
    const std::optional<std::string> value = TagValue(tags, info.name);
    if (!value || value->empty()) continue;
    // The text without any NUL of its own, then one; a sub-chunk's size
    // counts the NUL but not the pad byte.
    const std::string text(value->c_str());
    PutId(body, info.id);
    PutU32Le(body, static_cast<std::uint32_t>(text.size() + 1));
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);
    if ((text.size() + 1) % 2 != 0) body.push_back(0);
  }
  if (body.size() == 4) return {};
  std::vector<std::uint8_t> chunk;
  PutId(chunk, "LIST");
  PutU32Le(chunk, static_cast<std::uint32_t>(body.size()));
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

RecordingTags TagsOfInfoChunk(const std::uint8_t* body, std::size_t size) {
  RecordingTags tags;
  std::size_t at = 0;
  while (size - at >= 8) {
    const std::uint32_t length = ReadU32Le(body + at + 4);
    // Protects against a sub-chunk that claims more than the chunk holds.
    if (length > size - at - 8) break;
    const char* id = reinterpret_cast<const char*>(body + at);
    const char* text = reinterpret_cast<const char*>(body + at + 8);
    for (const InfoId& info : kInfoIds) {
      if (std::memcmp(id, info.id, 4) == 0) {
        const std::string value(text, strnlen(text, length));
        if (!value.empty()) tags.push_back({info.name, value});
      }
    }
    at += 8 + length + (length % 2);
  }
  return tags;
}

}  // namespace quenlow
