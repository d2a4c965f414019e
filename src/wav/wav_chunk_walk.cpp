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

// Real files carry a handful of chunks ahead of their audio; a file made of
// millions of empty chunks would otherwise cost millions of reads.
constexpr int kMaxChunksWalked = 4096;

// Reads exactly `size` bytes, the ones the source lacks as 0.
void ReadPadded(const ByteSource& source, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::memset(out, 0, size);
  const std::size_t got = source(offset, out, size);
  std::fill(out + std::min(got, size), out + size, std::uint8_t{0});
}

struct FoundChunks {
  std::uint64_t formatOffset = 0;
  std::uint64_t dataHeaderOffset = 0;
};

std::optional<FoundChunks> WalkChunks(const ByteSource& source, std::uint64_t readableSize) {
  std::optional<std::uint64_t> formatOffset;
  std::uint64_t offset = kFirstChunkOffset;
  // Offsets stay below readableSize + 2^33, so 64-bit sums never wrap; every
  // step moves on by at least one chunk header, so the walk ends.
  for (int walked = 0; walked < kMaxChunksWalked; ++walked) {
    if (offset > readableSize || readableSize - offset < kChunkHeaderSize) return std::nullopt;
    std::uint8_t header[kChunkHeaderSize];
    ReadPadded(source, offset, header, sizeof header);
    const std::uint32_t chunkSize = ReadU32Le(header + 4);
    if (std::memcmp(header, "fmt ", 4) == 0 && chunkSize >= kFormatFieldsSize && !formatOffset) {
      formatOffset = offset + kChunkHeaderSize;
    } else if (std::memcmp(header, "data", 4) == 0) {
      // The audio may run to the end of the file: nothing past it is walked.
      if (!formatOffset) return std::nullopt;
      return FoundChunks{*formatOffset, offset};
    }
    // A chunk of odd size is followed by one pad byte.
    offset += kChunkHeaderSize + chunkSize + (chunkSize & 1u);
  }
  return std::nullopt;
}

}  // namespace

WavLayout LocateWavLayout(const ByteSource& source, std::uint64_t readableSize) {
  WavLayout layout;
  std::uint8_t form[4];
  ReadPadded(source, 8, form, sizeof form);
  layout.formIsWave = readableSize >= 12 && std::memcmp(form, "WAVE", 4) == 0;
  if (!layout.formIsWave) return layout;

  FoundChunks found{20, 36};
  if (const auto walked = WalkChunks(source, readableSize)) found = *walked;
  ReadPadded(source, found.formatOffset, layout.formatFields.data(), layout.formatFields.size());
  std::uint8_t dataSize[4];
  ReadPadded(source, found.dataHeaderOffset + 4, dataSize, sizeof dataSize);
  layout.dataSize = ReadU32Le(dataSize);
  layout.dataOffset = found.dataHeaderOffset + kChunkHeaderSize;
  return layout;
}

}  // namespace quenlow
