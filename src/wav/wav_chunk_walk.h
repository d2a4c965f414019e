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

// Where the header's figures stand. Bytes that the source cannot deliver are 0.
struct WavLayout {
  bool formIsWave = false;                   // all four of "WAVE" at offset 8
  std::array<std::uint8_t, 16> formatFields{};  // tag, channels, rate, byte rate, align, bits
  std::uint32_t dataSize = 0;
  std::uint64_t dataOffset = 44;
};

// Walks the RIFF chunks from offset 12 for the first format chunk of at least
// 16 bytes and the data chunk after it. Without that pair the fields are taken
// from the fixed places of the canonical 44-byte header. `readableSize` is how
// far the source reaches; no chunk header is looked for past it.
WavLayout LocateWavLayout(const ByteSource& source, std::uint64_t readableSize);

}  // namespace quenlow
