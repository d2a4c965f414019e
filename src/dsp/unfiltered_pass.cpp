#include "dsp/unfiltered_pass.h"

#include <algorithm>
#include <vector>

#include "dsp/dither_draws.h"
#include "dsp/packed_frame.h"
#include "dsp/quantiser.h"

namespace quenlow {
namespace {

constexpr std::int64_t kTaskFrames = 16384;
constexpr std::int64_t kChunkFrames = 2048;

// QuantiseHeldSample without branches: n = 16760439 * 2^15 * s + k1 + k2 -
// 2^31 lies within +-2^55, so adding 2^55 (a multiple of 2^32, which keeps
// the parity bit 31) makes it non-negative, and n / 2^31 rounded half to even
// is (n + 2^30 - 1 + bit 31 of n) >> 31.
inline std::int32_t QuantiseHeld(std::int32_t sample, std::uint32_t k1, std::uint32_t k2) {
  constexpr std::int64_t kScale = kGainNumerator << 15;
  constexpr std::uint64_t kBias = std::uint64_t{1} << 55;
  const std::int64_t n = kScale * sample + std::int64_t{k1} + std::int64_t{k2} - (std::int64_t{1} << 31);
  const std::uint64_t biased = static_cast<std::uint64_t>(n) + kBias;
  const std::uint64_t rounded = (biased + ((std::uint64_t{1} << 30) - 1) + ((biased >> 31) & 1u)) >> 31;
  return static_cast<std::int32_t>(static_cast<std::int64_t>(rounded) - static_cast<std::int64_t>(kBias >> 31));
}

// Frames [first, first + frames) from their draws, four a frame.
#if defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
void QuantiseHeldRun(const std::int16_t* interleaved, std::int64_t first, std::int64_t frames,
                     const std::uint32_t* draws, std::uint8_t* out) {
  for (std::int64_t i = 0; i < frames; ++i) {
    const std::int16_t* frame = interleaved + 2 * ((first + i) / OversamplingRatio);
    const std::uint32_t* k = draws + i * kDrawsPerFrame;
    PackFrame24(QuantiseHeld(frame[0], k[0], k[1]), QuantiseHeld(frame[1], k[2], k[3]), out);
    out += kPackedFrameBytes;
  }
}

}  // namespace

UnfilteredPass::UnfilteredPass(const SignalInput& input, UniformSource passStart, int threads)
    : input_(input), passStart_(passStart), pool_(threads) {}

void UnfilteredPass::Produce(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  pool_.Run(RunCount(count, kTaskFrames), [&](int task) {
    const std::int64_t start = first + task * kTaskFrames;
    const std::int64_t frames = std::min(kTaskFrames, first + count - start);
    ProduceRun(start, frames, out + (start - first) * kPackedFrameBytes);
  });
}

void UnfilteredPass::ProduceRun(std::int64_t first, std::int64_t count, std::uint8_t* out) const {
  UniformSource source = SourceAtFrame(passStart_, first);
  std::vector<std::uint32_t> draws(kChunkFrames * kDrawsPerFrame);
  for (std::int64_t chunk = first; chunk < first + count; chunk += kChunkFrames) {
    const std::int64_t frames = std::min(kChunkFrames, first + count - chunk);
    FillDraws(source, static_cast<std::size_t>(frames * kDrawsPerFrame), draws.data());
    QuantiseHeldRun(input_.interleaved, chunk, frames, draws.data(), out);
    out += frames * kPackedFrameBytes;
  }
}

}  // namespace quenlow
