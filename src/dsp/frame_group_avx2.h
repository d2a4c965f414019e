// Pieces of the passes' AVX2 loops, which take sixteen frames (four input
// samples) a step: the group's dither draws, made in registers, and the
// packing of four frames at a time. x86-64 only; the functions are built for
// AVX2 whatever the rest of the program is built for, and the passes call
// them only when the processor has it.
#pragma once

namespace quenlow {

// Whether this processor runs the AVX2 loops.
inline bool ProcessorHasAvx2() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace quenlow

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "dsp/signal_chain.h"
#include "dsp/uniform_source.h"

namespace quenlow {

inline constexpr int kGroupFrames = 16;
inline constexpr int kGroupDraws = kGroupFrames * kDrawsPerFrame;

namespace frame_group {

struct AffineStep {
  std::uint32_t mul = 1;
  std::uint32_t add = 0;
};

// The generator's map for n steps.
constexpr AffineStep StepsOf(int n) {
  AffineStep step;
  for (int i = 0; i < n; ++i) {
    step.mul *= kUniformMultiplier;
    step.add = step.add * kUniformMultiplier + kUniformIncrement;
  }
  return step;
}

// Lane maps from the state before a group to the state after each of its
// draws, in the order of GroupDraws::state.
struct LaneMaps {
  alignas(32) std::uint32_t mul[kGroupDraws] = {};
  alignas(32) std::uint32_t add[kGroupDraws] = {};
};

constexpr LaneMaps MakeLaneMaps() {
  LaneMaps maps;
  for (int j = 0; j < kDrawsPerFrame; ++j) {
    for (int h = 0; h < 2; ++h) {
      for (int l = 0; l < 8; ++l) {
        const AffineStep step = StepsOf(kDrawsPerFrame * (8 * h + l) + j + 1);
        maps.mul[(2 * j + h) * 8 + l] = step.mul;
        maps.add[(2 * j + h) * 8 + l] = step.add;
      }
    }
  }
  return maps;
}

inline constexpr LaneMaps kLaneMaps = MakeLaneMaps();
inline constexpr AffineStep kGroupStep = StepsOf(kGroupDraws);

}  // namespace frame_group

// The 64 draws of a group of sixteen frames, in eight vectors of eight
// lanes: state[2 j + h], lane l, is the state after draw j of frame 8 h + l.
struct GroupDraws {
  __m256i state[8];

  // The group whose first draw follows `source`.
  __attribute__((target("avx2"))) explicit GroupDraws(UniformSource source) {
    const __m256i start = _mm256_set1_epi32(static_cast<int>(source.state));
    for (int v = 0; v < 8; ++v) {
      const auto* mul = reinterpret_cast<const __m256i*>(frame_group::kLaneMaps.mul + 8 * v);
      const auto* add = reinterpret_cast<const __m256i*>(frame_group::kLaneMaps.add + 8 * v);
      state[v] = _mm256_add_epi32(_mm256_mullo_epi32(start, _mm256_load_si256(mul)), _mm256_load_si256(add));
    }
  }

  // The source after the group's last draw.
  __attribute__((target("avx2"))) UniformSource After() const {
    return UniformSource{static_cast<std::uint32_t>(_mm256_extract_epi32(state[7], 7))};
  }

  // On to the next group.
  __attribute__((target("avx2"))) void Advance() {
    const __m256i mul = _mm256_set1_epi32(static_cast<int>(frame_group::kGroupStep.mul));
    const __m256i add = _mm256_set1_epi32(static_cast<int>(frame_group::kGroupStep.add));
    for (__m256i& v : state) v = _mm256_add_epi32(_mm256_mullo_epi32(v, mul), add);
  }

  // k1 + k2 - 2^31 (which fits 32 signed bits exactly) for channel c
  // (0 left, 1 right) of frames 8 h ... 8 h + 7.
  __attribute__((target("avx2"))) __m256i DitherNumerators(int c, int h) const {
    const __m256i first = _mm256_srli_epi32(state[4 * c + h], 1);
    const __m256i second = _mm256_srli_epi32(state[4 * c + 2 + h], 1);
    return _mm256_xor_si256(_mm256_add_epi32(first, second), _mm256_set1_epi32(static_cast<int>(0x80000000u)));
  }
};

// Four of eight lanes: the lower (quarter 0) or upper (1) half.
__attribute__((target("avx2"))) inline __m128i HalfOf(__m256i lanes, int upper) {
  return upper ? _mm256_extracti128_si256(lanes, 1) : _mm256_castsi256_si128(lanes);
}

// Four frames' samples (left and right, low 24 bits each) as 24 bytes; writes
// nothing beyond them.
__attribute__((target("avx2"))) inline void PackFrames4(__m128i left, __m128i right, std::uint8_t* out) {
  const __m128i lowThreeBytes = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m128i first = _mm_shuffle_epi8(_mm_unpacklo_epi32(left, right), lowThreeBytes);
  const __m128i second = _mm_shuffle_epi8(_mm_unpackhi_epi32(left, right), lowThreeBytes);
  // The first store's last four bytes are written again by the second.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), second);
  const auto last = static_cast<std::uint32_t>(_mm_extract_epi32(second, 2));
  std::memcpy(out + 20, &last, 4);
}

}  // namespace quenlow

#endif
