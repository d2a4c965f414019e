#include "wav/wav_tags.h"

#include <cstring>
#include <vector>

#include "platform/files.h"
#include "wav/wav_bytes.h"

namespace quenlow {
namespace {

constexpr std::uint64_t kFirstChunkOffset = 12;
constexpr std::uint64_t kChunkHeaderSize = 8;
// Tags are a few hundred bytes; a larger chunk is not read whole.
constexpr std::uint32_t kMaxInfoSize = 1 << 20;

}  // namespace

RecordingTags ReadWavTags(const ByteSource& source, std::uint64_t readableSize) {
  const WavLayout layout = LocateWavLayout(source, readableSize);
  if (layout.chunks != ChunkLayout::Walked) return {};
  std::uint64_t offset = kFirstChunkOffset;
  while (readableSize - offset >= kChunkHeaderSize) {
    std::uint8_t header[kChunkHeaderSize];
    if (source(offset, header, sizeof header) != sizeof header) return {};
    std::uint64_t size = ReadU32Le(header + 4);
    const bool isData = offset + kChunkHeaderSize == layout.dataOffset;
    if (isData) size = layout.dataSize;
    const std::uint64_t body = offset + kChunkHeaderSize;
    if (std::memcmp(header, "LIST", 4) == 0 && size >= 4 && size <= kMaxInfoSize && size <= readableSize - body) {
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
      if (source(body, bytes.data(), bytes.size()) == bytes.size() && std::memcmp(bytes.data(), "INFO", 4) == 0) {
        return TagsOfInfoChunk(bytes.data() + 4, bytes.size() - 4);
      }
    }
    // Protects against a size that would carry the walk past the file.
    if (size + (size & 1) > readableSize - body) return {};
    offset = body + size + (size & 1);
  }
  return {};
}

RecordingTags ReadWavTagsOfFile(const std::string& fileName) {
  const platform::OpenedFile opened = platform::OpenForReading(fileName);
  if (opened.handle == platform::kNoFile) return {};
  RecordingTags tags;
  if (const auto size = platform::RegularFileSize(opened.handle)) {
    const ByteSource source = [&opened](std::uint64_t offset, std::uint8_t* out, std::size_t want) {
      return platform::ReadAt(opened.handle, offset, out, want);
    };
    tags = ReadWavTags(source, *size);
  }
  platform::CloseFile(opened.handle);
  return tags;
}

}  // namespace quenlow
