// Finding the format fields and the data chunk of a WAVE file, whether the
// bytes are in memory or still in the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace quenlow {

// Reads up to `size` bytes from `offset` and returns how many it delivered.
using ByteSource = std::function<std::size_t(std::uint64_t offset, std::uint8_t* out, std::size_t size)>;

// How the chunks of a file led, or failed to lead, to its audio.
enum class ChunkLayout {
  Walked,      // a format chunk and a data chunk were found by their headers
  Canonical,   // no such pair, but the file has the fixed 44-byte layout
  CutShort,    // a chunk runs past the end of the file before the audio
  Incomplete,  // the chunks end with the file, without both a format and a data chunk
  Damaged,     // an RF64 file whose sizes cannot be known (no ds64 first, or one too short)
};

// Where the header's figures stand. Bytes that the source cannot deliver are 0.
struct WavLayout {
  bool formIsWave = false;  // all four of "WAVE" at offset 8
  ChunkLayout chunks = ChunkLayout::Incomplete;
  // Tag, channels, rate, byte rate, align, bits, and the extensible fields
  // after them; formatSize says how many of these bytes the chunk holds.
  std::array<std::uint8_t, 40> formatFields{};
  std::uint32_t formatSize = 16;
  std::uint64_t dataSize = 0;  // for RF64, the ds64 chunk's figure
  std::uint64_t dataOffset = 44;
};

// Walks the RIFF chunks from offset 12, with no limit on their number, for
// the first format chunk of at least 16 bytes and the data chunk. The file
// ends the walk: each chunk moves it on by at least its 8-byte header. A
// file whose chunks do not pair up is read at the fixed places of the
// canonical 44-byte header only when it has that layout ("fmt " at 12,
// "data" at 36). `readableSize` is how far the source reaches.
WavLayout LocateWavLayout(const ByteSource& source, std::uint64_t readableSize);

}  // namespace quenlow
