// The header of an output file: the canonical 44 bytes, or the RF64 form
// when the sizes pass the 32-bit fields.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quenlow {

// The largest RIFF size the 32-bit field holds.
inline constexpr std::uint64_t kMaxRiffSize = 0xFFFFFFFFu;

struct OutputWavLayout {
  std::vector<std::uint8_t> header;
  std::uint64_t dataSize = 0;  // sample bytes that follow the header
};

// Nothing when the figures cannot be written at all (no channels, an odd
// number of them, a negative frame count, a rate or block align past its
// field). Outputs are 24-bit stereo; an even channel count keeps the data size
// even, so no pad byte ever follows it. `riffSizeLimit` is the
// largest RIFF size written in the canonical form. `trailerSize` counts the
// bytes of chunks that follow the data (an even number: a LIST/INFO chunk of
// tags), which the RIFF size includes.
std::optional<OutputWavLayout> OutputWavHeader(int channelCount, std::int64_t outputSampleRate,
                                               std::int64_t frameCount,
                                               std::uint64_t riffSizeLimit = kMaxRiffSize,
                                               std::uint64_t trailerSize = 0);

}  // namespace quenlow
