#include "dsp/unfiltered_pass.h"

#include <algorithm>
#include <vector>

#include "dsp/dither_draws.h"
#include "dsp/frame_group_avx2.h"
#include "dsp/packed_frame.h"
#include "dsp/quantiser.h"

namespace quenlow {
namespace {

constexpr std::int64_t kTaskFrames = 16384;
// Frames whose draws are taken from the source at once.
constexpr std::int64_t kDrawnTogether = 256;

// QuantiseHeldSample without branches: n = 16760439 * 2^15 * s + k1 + k2 -
// 2^31 lies within +-2^55, so adding 2^55 (a multiple of 2^32, which keeps
// the parity bit 31) makes it non-negative, and n / 2^31 rounded half to even
// is (n + 2^30 - 1 + bit 31 of n) >> 31.
inline std::int32_t QuantiseHeldSampleBranchless(std::int32_t sample, std::uint32_t k1, std::uint32_t k2) {
  constexpr std::int64_t kScale = kGainNumerator << 15;
  constexpr std::uint64_t kBias = std::uint64_t{1} << 55;
  const std::int64_t n = kScale * sample + std::int64_t{k1} + std::int64_t{k2} - (std::int64_t{1} << 31);
  const std::uint64_t biased = static_cast<std::uint64_t>(n) + kBias;
  const std::uint64_t rounded = (biased + ((std::uint64_t{1} << 30) - 1) + ((biased >> 31) & 1u)) >> 31;
  return static_cast<std::int32_t>(static_cast<std::int64_t>(rounded) - static_cast<std::int64_t>(kBias >> 31));
}

// `frames` frames from their draws, four a frame: the first is the held
// copy number `phase` (0 to 3) of the input frame at `input`.
__attribute__((always_inline)) inline void QuantiseHeldRunIn(const std::int16_t* input, std::int64_t phase,
                                                             std::int64_t frames, const std::uint32_t* draws,
                                                             std::uint8_t* out) {
  for (std::int64_t i = 0; i < frames; ++i) {
    const std::int16_t* frame = input + 2 * ((phase + i) / OversamplingRatio);
    const std::uint32_t* k = draws + i * kDrawsPerFrame;
    PackFrame24(QuantiseHeldSampleBranchless(frame[0], k[0], k[1]),
                QuantiseHeldSampleBranchless(frame[1], k[2], k[3]), out);
    out += kPackedFrameBytes;
  }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void QuantiseHeldRunAvx2(const std::int16_t* input, std::int64_t phase,
                                                         std::int64_t frames, const std::uint32_t* draws,
                                                         std::uint8_t* out) {
  QuantiseHeldRunIn(input, phase, frames, draws, out);
}
#endif

// Built for AVX2 and for plain x86-64, and chosen by the processor at run
// time rather than by the loader (target_clones), which Windows executables
// cannot do.
void QuantiseHeldRun(const std::int16_t* input, std::int64_t phase, std::int64_t frames,
                     const std::uint32_t* draws, std::uint8_t* out) {
#if defined(__x86_64__)
  static const bool avx2 = ProcessorHasAvx2();
  if (avx2) {
    QuantiseHeldRunAvx2(input, phase, frames, draws, out);
    return;
  }
#endif
  QuantiseHeldRunIn(input, phase, frames, draws, out);
}

#if defined(__x86_64__)

// QuantiseHeldSampleBranchless on four frames of one channel of one input sample, in 64-bit
// lanes: `offset` is 16760439 * 2^15 * s + 2^55, numerators the frames'
// k1 + k2 - 2^31.
__attribute__((target("avx2"))) inline __m128i QuantiseHeld4(__m256i offset, __m128i numerators) {
  const __m256i biased = _mm256_add_epi64(offset, _mm256_cvtepi32_epi64(numerators));
  const __m256i parity = _mm256_and_si256(_mm256_srli_epi64(biased, 31), _mm256_set1_epi64x(1));
  const __m256i half = _mm256_set1_epi64x((std::int64_t{1} << 30) - 1);
  const __m256i rounded = _mm256_srli_epi64(_mm256_add_epi64(_mm256_add_epi64(biased, half), parity), 31);
  // The low halves of the four lanes, less the bias's 2^24.
  const __m256i low = _mm256_permutevar8x32_epi32(rounded, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
  return _mm_sub_epi32(_mm256_castsi256_si128(low), _mm_set1_epi32(1 << 24));
}

// The 16 * groups frames held from the input frames at `input` on, their
// draws following `source`, which is left after them.
__attribute__((target("avx2"))) void QuantiseHeldGroupsAvx2(const std::int16_t* input, int groups,
                                                            UniformSource& source, std::uint8_t* out) {
  constexpr std::int64_t kScale = kGainNumerator << 15;
  constexpr std::int64_t kBias = std::int64_t{1} << 55;
  GroupDraws draws(source);
  const std::int16_t* frame = input;
  for (int g = 0; g < groups; ++g, frame += 2 * (kGroupFrames / OversamplingRatio)) {
    __m128i q[2][4];
    for (int c = 0; c < 2; ++c) {
      for (int s = 0; s < 4; ++s) {
        const __m256i offset = _mm256_set1_epi64x(kScale * frame[2 * s + c] + kBias);
        q[c][s] = QuantiseHeld4(offset, HalfOf(draws.DitherNumerators(c, s / 2), s % 2));
      }
    }
    for (int s = 0; s < 4; ++s) {
      PackFrames4(q[0][s], q[1][s], out);
      out += 4 * kPackedFrameBytes;
    }
    source = draws.After();
    draws.Advance();
  }
}

#endif

}  // namespace

bool UnfilteredPass::VectorLoopAvailable() { return ProcessorHasAvx2(); }

UnfilteredPass::UnfilteredPass(const SignalInput& input, UniformSource passStart, int threads)
    : input_(input), passStart_(passStart), pool_(threads) {}

void UnfilteredPass::Produce(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  pool_.Run(TaskCount(count, kTaskFrames), [&](int task) {
    const std::int64_t start = first + task * kTaskFrames;
    const std::int64_t frames = std::min(kTaskFrames, first + count - start);
    ProduceRun(start, frames, out + (start - first) * kPackedFrameBytes);
  });
}

void UnfilteredPass::ProduceRun(std::int64_t first, std::int64_t count, std::uint8_t* out) const {
  UniformSource source = SourceAtFrame(passStart_, first);
  const std::int64_t end = first + count;
#if defined(__x86_64__)
  if (vectorLoop_) {
    // Whole input samples in groups of sixteen frames, the frames before and
    // after them the plain way.
    const std::int64_t vectorFirst =
        std::min(end, (first + OversamplingRatio - 1) / OversamplingRatio * OversamplingRatio);
    const std::int64_t groups = (end - vectorFirst) / kGroupFrames;
    if (groups > 0) {
      out = QuantisePlain(first, vectorFirst, source, out);
      QuantiseHeldGroupsAvx2(input_.At(vectorFirst / OversamplingRatio), static_cast<int>(groups), source, out);
      out += groups * kGroupFrames * kPackedFrameBytes;
      first = vectorFirst + groups * kGroupFrames;
    }
  }
#endif
  QuantisePlain(first, end, source, out);
}

std::uint8_t* UnfilteredPass::QuantisePlain(std::int64_t first, std::int64_t end, UniformSource& source,
                                            std::uint8_t* out) const {
  std::uint32_t draws[kDrawnTogether * kDrawsPerFrame];
  for (std::int64_t at = first; at < end; at += kDrawnTogether) {
    const std::int64_t frames = std::min(kDrawnTogether, end - at);
    FillDraws(source, static_cast<std::size_t>(frames * kDrawsPerFrame), draws);
    QuantiseHeldRun(input_.At(at / OversamplingRatio), at % OversamplingRatio, frames, draws, out);
    out += frames * kPackedFrameBytes;
  }
  return out;
}

}  // namespace quenlow
