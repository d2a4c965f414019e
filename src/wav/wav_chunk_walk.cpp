#include "wav/wav_chunk_walk.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "wav/wav_bytes.h"

namespace quenlow {

namespace {

constexpr std::uint64_t kFirstChunkOffset = 12;
constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint32_t kFormatFieldsSize = 16;
// RF64 keeps the true sizes in a ds64 chunk, first in the file; a 32-bit size
// of all ones says "see ds64". Its data size stands 8 bytes into the chunk.
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFFu;
constexpr std::uint64_t kDs64DataSizeOffset = 8;
constexpr std::uint32_t kDs64MinimumSize = 16;

// Reads exactly `size` bytes, the ones the source lacks as 0.
void ReadPadded(const ByteSource& source, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::memset(out, 0, size);
  const std::size_t got = source(offset, out, size);
  std::fill(out + std::min(got, size), out + size, std::uint8_t{0});
}

bool HasTag(const ByteSource& source, std::uint64_t offset, const char* tag) {
  std::uint8_t bytes[4];
  ReadPadded(source, offset, bytes, sizeof bytes);
  return std::memcmp(bytes, tag, 4) == 0;
}

struct FoundChunks {
  ChunkLayout outcome = ChunkLayout::Incomplete;
  std::uint64_t formatOffset = 0;
  std::uint32_t formatSize = 0;
  std::uint64_t dataHeaderOffset = 0;
  std::uint64_t dataSize = 0;
};

// RF64 (and its twin BW64) says "RF64" where RIFF says "RIFF"; its sizes
// are only known from the ds64 chunk.
bool IsRf64(const ByteSource& source) { return HasTag(source, 0, "RF64") || HasTag(source, 0, "BW64"); }

FoundChunks WalkChunks(const ByteSource& source, std::uint64_t readableSize, bool rf64) {
  FoundChunks found;
  std::optional<std::uint64_t> ds64DataSize;
  bool haveData = false;
  std::uint64_t offset = kFirstChunkOffset;
  // The offset never passes readableSize, so no sum wraps.
  for (;;) {
    if (offset == readableSize) return found;  // the chunks end with the file
    if (readableSize - offset < kChunkHeaderSize) {
      found.outcome = ChunkLayout::CutShort;
      return found;
    }
    std::uint8_t header[kChunkHeaderSize];
    ReadPadded(source, offset, header, sizeof header);
    const std::uint32_t chunkSize = ReadU32Le(header + 4);
    const bool isDs64 = std::memcmp(header, "ds64", 4) == 0;
    // Without its ds64 first, or with one too short to hold the data size,
    // an RF64 file's data size is unknown: the audio's end could not be told
    // from the chunks after it. A short ds64 first in any file is as bad.
    if (offset == kFirstChunkOffset && ((rf64 && !isDs64) || (isDs64 && chunkSize < kDs64MinimumSize))) {
      found.outcome = ChunkLayout::Damaged;
      return found;
    }
    if (offset == kFirstChunkOffset && isDs64) {
      std::uint8_t size[8];
      ReadPadded(source, offset + kChunkHeaderSize + kDs64DataSizeOffset, size, sizeof size);
      ds64DataSize = ReadU32Le(size) | (std::uint64_t{ReadU32Le(size + 4)} << 32);
    } else if (std::memcmp(header, "fmt ", 4) == 0 && chunkSize >= kFormatFieldsSize && found.formatSize == 0) {
      found.formatOffset = offset + kChunkHeaderSize;
      found.formatSize = chunkSize;
    } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
      haveData = true;
      found.dataHeaderOffset = offset;
      found.dataSize = chunkSize == kSizeInDs64 && ds64DataSize ? *ds64DataSize : chunkSize;
    }
    // The audio may run to the end of the file: nothing past it is walked
    // once the format is known. A format chunk after the audio is looked for
    // past the data's stated size.
    if (haveData && found.formatSize != 0) {
      found.outcome = ChunkLayout::Walked;
      return found;
    }
    const std::uint64_t payload =
        haveData && found.dataHeaderOffset == offset ? found.dataSize : std::uint64_t{chunkSize};
    const std::uint64_t payloadStart = offset + kChunkHeaderSize;
    if (payload > readableSize - payloadStart) {
      found.outcome = ChunkLayout::CutShort;
      return found;
    }
    offset = payloadStart + payload;
    // A chunk of odd size is followed by one pad byte; the last chunk of a
    // file may lack it.
    if ((payload & 1u) != 0 && offset < readableSize) ++offset;
  }
}

}  // namespace

WavLayout LocateWavLayout(const ByteSource& source, std::uint64_t readableSize) {
  WavLayout layout;
  layout.formIsWave = readableSize >= 12 && HasTag(source, 8, "WAVE");
  if (!layout.formIsWave) return layout;

  const FoundChunks found = WalkChunks(source, readableSize, IsRf64(source));
  if (found.outcome == ChunkLayout::Damaged) {
    layout.chunks = ChunkLayout::Damaged;
    return layout;
  }
  if (found.outcome == ChunkLayout::Walked) {
    layout.chunks = ChunkLayout::Walked;
    layout.formatSize = std::min<std::uint32_t>(found.formatSize, layout.formatFields.size());
    ReadPadded(source, found.formatOffset, layout.formatFields.data(), layout.formatSize);
    layout.dataSize = found.dataSize;
    layout.dataOffset = found.dataHeaderOffset + kChunkHeaderSize;
    return layout;
  }
  // A file of the canonical layout whose sizes do not add up (a format chunk
  // that claims 14 or 18 bytes in 16) is read at the fixed places. Any
  // other file whose chunks do not lead to the audio is damaged: read at
  // fixed places it would give noise or the bytes of some chunk as audio.
  if (readableSize >= 40 && HasTag(source, 12, "fmt ") && HasTag(source, 36, "data")) {
    layout.chunks = ChunkLayout::Canonical;
    ReadPadded(source, 20, layout.formatFields.data(), kFormatFieldsSize);
    std::uint8_t dataSize[4];
    ReadPadded(source, 40, dataSize, sizeof dataSize);
    layout.dataSize = ReadU32Le(dataSize);
    layout.dataOffset = 44;
    return layout;
  }
  layout.chunks = found.outcome;
  return layout;
}

}  // namespace quenlow
