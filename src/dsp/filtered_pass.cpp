#include "dsp/filtered_pass.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "dsp/dither_draws.h"
#include "dsp/fast_filter_bound.h"
#include "dsp/frame_group_avx2.h"
#include "dsp/packed_frame.h"
#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"

namespace quenlow {
namespace {

constexpr std::int64_t kTaskFrames = 16384;
// Frames whose draws are taken from the source at once.
constexpr std::int64_t kDrawnTogether = 64;
// Input samples per block: each block gets its own margin from its loudest
// sample, so quiet passages get tight margins.
constexpr int kBlockSamples = 256;
static_assert(kBlockSamples % kKernelStep == 0);
constexpr int kHistory = kPhaseDelays - 1;
constexpr double kScale = static_cast<double>(kGainNumerator) / 65536.0;  // 256 G, exact

// r1 + r2 - 1 for the draws k1, k2: a multiple of 2^-31 below 1, exact.
inline double DitherOf(std::uint32_t k1, std::uint32_t k2) {
  return static_cast<double>(std::int64_t{k1} + std::int64_t{k2} - (std::int64_t{1} << 31)) * 0x1p-31;
}

struct Scratch {
  std::vector<double> samples = std::vector<double>(kHistory + kBlockSamples);
  std::vector<double> filtered[2] = {std::vector<double>(OversamplingRatio * kBlockSamples),
                                     std::vector<double>(OversamplingRatio * kBlockSamples)};
  std::vector<std::uint32_t> draws = std::vector<std::uint32_t>(OversamplingRatio * kBlockSamples * kDrawsPerFrame);
  // Values the vector loop could not certify: 2 * frame offset + channel.
  std::vector<std::int32_t> uncertain = std::vector<std::int32_t>(2 * OversamplingRatio * kBlockSamples);
};

// One block's filtered values: phase-major (value of frame 4 (p0 + i) + r at
// [r * kBlockSamples + i]) for both channels, with their margins.
struct BlockValues {
  const double* left;
  const double* right;
  double leftMargin;
  double rightMargin;
};

// Frames [first, end) of the block starting at input sample p0, one by one.
// Values not certified go to exact(channel, frame, k1, k2).
template <typename Exact>
std::uint8_t* QuantisePlain(const BlockValues& values, std::int64_t p0, std::int64_t first, std::int64_t end,
                            UniformSource& source, std::uint8_t* out, OutputLevels& levels, Exact&& exact) {
  if (first >= end) return out;
  std::uint32_t draws[kDrawsPerFrame * kDrawnTogether];
  // Locals, not members: the byte stores below could alias those and force
  // them to be read again every frame.
  const double* leftValues = values.left;
  const double* rightValues = values.right;
  const double leftMargin = values.leftMargin;
  const double rightMargin = values.rightMargin;
  std::int64_t clipped = 0;
  double peak = levels.peak;
  for (std::int64_t drawn = first; drawn < end; drawn += kDrawnTogether) {
    const std::int64_t drawnEnd = std::min(end, drawn + kDrawnTogether);
    FillDraws(source, static_cast<std::size_t>((drawnEnd - drawn) * kDrawsPerFrame), draws);
    for (std::int64_t f = drawn; f < drawnEnd; ++f) {
      const std::uint32_t* k = draws + (f - drawn) * kDrawsPerFrame;
      const std::int64_t at = (f & (OversamplingRatio - 1)) * kBlockSamples + (f / OversamplingRatio - p0);
      const double leftT = kScale * leftValues[at] + DitherOf(k[0], k[1]);
      const double rightT = kScale * rightValues[at] + DitherOf(k[2], k[3]);
      const CertifiedSample left = CertifyQuantised(leftT, leftMargin);
      const CertifiedSample right = CertifyQuantised(rightT, rightMargin);
      clipped += int{left.clipped} + int{right.clipped};
      peak = std::fmax(peak, std::fmax(std::fabs(leftT), std::fabs(rightT)));
      if (left.certain & right.certain) [[likely]] {
        PackFrame24(left.q, right.q, out);
      } else {
        PackFrame24(left.certain ? left.q : exact(0, f, k[0], k[1]),
                    right.certain ? right.q : exact(1, f, k[2], k[3]), out);
      }
      out += kPackedFrameBytes;
    }
  }
  levels.clipped += clipped;
  levels.peak = peak;
  return out;
}

#if defined(__x86_64__)

// CertifyQuantised on four values at once, operation for operation the same
// (so the same decisions and samples); the certain lanes' bits go to
// `certain`, those of the certain lanes that saturated to `clipped`.
__attribute__((target("avx2"))) inline __m128i CertifyQuantised4(__m256d t, __m256d margin, int& certain,
                                                                 int& clipped) {
  const __m256d magnitudeMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  const __m256d shift = _mm256_set1_pd(0x1.8p52);
  const __m256d above = _mm256_cmp_pd(_mm256_sub_pd(t, margin), _mm256_set1_pd(kSample24Max + 0.5), _CMP_GT_OQ);
  const __m256d below = _mm256_cmp_pd(_mm256_add_pd(t, margin), _mm256_set1_pd(kSample24Min - 0.5), _CMP_LT_OQ);
  const __m256d small = _mm256_cmp_pd(_mm256_and_pd(t, magnitudeMask), _mm256_set1_pd(0x1p24), _CMP_LT_OQ);
  const __m256d inside = _mm256_and_pd(t, small);
  const __m256d n = _mm256_sub_pd(_mm256_add_pd(inside, shift), shift);
  const __m256d offRounding = _mm256_and_pd(_mm256_sub_pd(inside, n), magnitudeMask);
  const __m256d distance = _mm256_sub_pd(_mm256_set1_pd(0.5), offRounding);
  const __m256d clear = _mm256_and_pd(small, _mm256_cmp_pd(distance, margin, _CMP_GT_OQ));
  const __m256d saturated =
      _mm256_min_pd(_mm256_max_pd(n, _mm256_set1_pd(kSample24Min)), _mm256_set1_pd(kSample24Max));
  __m256d q = _mm256_blendv_pd(saturated, _mm256_set1_pd(kSample24Min), below);
  q = _mm256_blendv_pd(q, _mm256_set1_pd(kSample24Max), above);
  const __m256d outside = _mm256_or_pd(above, below);
  certain = _mm256_movemask_pd(_mm256_or_pd(outside, clear));
  clipped = _mm256_movemask_pd(_mm256_or_pd(outside, _mm256_and_pd(clear, _mm256_cmp_pd(saturated, n, _CMP_NEQ_OQ))));
  return _mm256_cvtpd_epi32(q);
}

// Frames [offset, offset + 16 * groups) of a block (offset counted from frame
// 4 p0, a multiple of 4), their draws following `source`, which is left after
// them. Values not certified are left as they are in `out` and listed in
// `uncertain`; returns how many. The certain values' levels go to `levels`.
__attribute__((target("avx2"))) int QuantiseGroupsAvx2(const BlockValues& values, int offset, int groups,
                                                      UniformSource& source, std::uint8_t* out,
                                                      std::int32_t* uncertain, OutputLevels& levels) {
  GroupDraws draws(source);
  const __m256d scale = _mm256_set1_pd(kScale);
  const __m256d drawUnit = _mm256_set1_pd(0x1p-31);
  const __m256d margins[2] = {_mm256_set1_pd(values.leftMargin), _mm256_set1_pd(values.rightMargin)};
  const double* channels[2] = {values.left, values.right};
  const __m256d magnitudeMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  __m256d peak = _mm256_set1_pd(levels.peak);
  std::int64_t clipped = 0;
  int count = 0;
  for (int g = 0; g < groups; ++g, offset += kGroupFrames, out += kGroupFrames * kPackedFrameBytes) {
    const int sample = offset / OversamplingRatio;
    __m128i q[2][4];
    int certain[2][4];
    for (int c = 0; c < 2; ++c) {
      // The four phases of four samples, turned into four frames of each
      // sample.
      const double* y = channels[c] + sample;
      const __m256d p0 = _mm256_loadu_pd(y);
      const __m256d p1 = _mm256_loadu_pd(y + kBlockSamples);
      const __m256d p2 = _mm256_loadu_pd(y + 2 * kBlockSamples);
      const __m256d p3 = _mm256_loadu_pd(y + 3 * kBlockSamples);
      const __m256d even01 = _mm256_unpacklo_pd(p0, p1);
      const __m256d odd01 = _mm256_unpackhi_pd(p0, p1);
      const __m256d even23 = _mm256_unpacklo_pd(p2, p3);
      const __m256d odd23 = _mm256_unpackhi_pd(p2, p3);
      const __m256d frames[4] = {
          _mm256_permute2f128_pd(even01, even23, 0x20), _mm256_permute2f128_pd(odd01, odd23, 0x20),
          _mm256_permute2f128_pd(even01, even23, 0x31), _mm256_permute2f128_pd(odd01, odd23, 0x31)};
      for (int s = 0; s < 4; ++s) {
        const __m128i numerators = HalfOf(draws.DitherNumerators(c, s / 2), s % 2);
        const __m256d dither = _mm256_mul_pd(_mm256_cvtepi32_pd(numerators), drawUnit);
        const __m256d t = _mm256_add_pd(_mm256_mul_pd(scale, frames[s]), dither);
        int clippedLanes = 0;
        q[c][s] = CertifyQuantised4(t, margins[c], certain[c][s], clippedLanes);
        clipped += __builtin_popcount(static_cast<unsigned>(clippedLanes));
        peak = _mm256_max_pd(peak, _mm256_and_pd(t, magnitudeMask));
      }
    }
    for (int s = 0; s < 4; ++s) {
      PackFrames4(q[0][s], q[1][s], out + s * 4 * kPackedFrameBytes);
      if ((certain[0][s] & certain[1][s]) != 0xF) [[unlikely]] {
        for (int c = 0; c < 2; ++c) {
          for (int l = 0; l < 4; ++l) {
            if (!(certain[c][s] >> l & 1)) uncertain[count++] = 2 * (offset + 4 * s + l) + c;
          }
        }
      }
    }
    source = draws.After();
    draws.Advance();
  }
  double lanes[4];
  _mm256_storeu_pd(lanes, peak);
  levels.peak = std::fmax(std::fmax(lanes[0], lanes[1]), std::fmax(lanes[2], lanes[3]));
  levels.clipped += clipped;
  return count;
}

#endif

}  // namespace

FilteredPass::FilteredPass(const SignalInput& input, const FilterTaps& taps, UniformSource passStart, int threads)
    : input_(input),
      taps_(taps),
      passStart_(passStart),
      phaseTaps_(MakePhaseTaps(taps)),
      sumOfTapMagnitudes_(SumOfTapMagnitudes(taps)),
      fastPath_(FastPathAllowed(taps)),
      kernel_(SelectPhaseKernel().kernel),
      pool_(threads) {}

bool FilteredPass::VectorLoopAvailable() { return ProcessorHasAvx2(); }

void FilteredPass::Produce(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  // Tasks start on whole input samples where they can, so that no block is
  // filtered twice.
  pool_.Run(TaskCount(count, kTaskFrames), [&](int task) {
    const std::int64_t start = first + task * kTaskFrames;
    const std::int64_t frames = std::min(kTaskFrames, first + count - start);
    ProduceRun(start, frames, out + (start - first) * kPackedFrameBytes);
  });
}

std::int32_t FilteredPass::ExactSample(int channel, std::int64_t frame, std::uint32_t k1, std::uint32_t k2,
                                       OutputLevels& levels) {
  exactRecomputations_.fetch_add(1, std::memory_order_relaxed);
  // Counted from the window's first frame: the window holds every frame the
  // value reaches back to, so frame - 4 * from is past the filter's build-up
  // and the same sequence of roundings follows.
  const std::int64_t from = input_.firstFrame;
  const double value =
      ExactFilteredValue(taps_, input_.interleaved + channel, input_.frames - from, 2, frame - OversamplingRatio * from);
  const FilteredSample sample = QuantiseFilteredSample(value, k1, k2);
  levels.clipped += int{sample.clipped};
  levels.peak = std::fmax(levels.peak, std::fabs(kScale * value));
  return sample.q;
}

void FilteredPass::AddLevels(const OutputLevels& levels) {
  clipped_.fetch_add(levels.clipped, std::memory_order_relaxed);
  double peak = peak_.load(std::memory_order_relaxed);
  while (levels.peak > peak && !peak_.compare_exchange_weak(peak, levels.peak, std::memory_order_relaxed)) {
  }
}

void FilteredPass::ProduceRun(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  UniformSource source = SourceAtFrame(passStart_, first);
  Scratch scratch;
  OutputLevels levels;
  const std::int64_t end = first + count;
  for (std::int64_t p0 = first / OversamplingRatio; p0 * OversamplingRatio < end; p0 += kBlockSamples) {
    const std::int64_t blockFirst = std::max(first, p0 * OversamplingRatio);
    const std::int64_t blockEnd = std::min(end, (p0 + kBlockSamples) * OversamplingRatio);
    const int samples = static_cast<int>((blockEnd - 1) / OversamplingRatio - p0 + 1);
    double margin[2] = {0.0, 0.0};
    if (fastPath_) {
      // Samples p0 - kHistory + j for j in [inside, insideEnd) lie in the
      // recording and the block; the others are zeros.
      const std::int64_t firstIndex = p0 - kHistory;
      const int inside = static_cast<int>(std::max<std::int64_t>(0, -firstIndex));
      const int insideEnd = static_cast<int>(
          std::max<std::int64_t>(inside, std::min<std::int64_t>(kHistory + samples, input_.frames - firstIndex)));
      double* blockSamples = scratch.samples.data();
      std::fill(blockSamples, blockSamples + inside, 0.0);
      std::fill(blockSamples + insideEnd, blockSamples + kHistory + kBlockSamples, 0.0);
      for (int channel = 0; channel < 2; ++channel) {
        int loudest = 0;
        if (insideEnd > inside) {
          const std::int16_t* from = input_.At(firstIndex + inside) + channel;
          double* to = blockSamples + inside;
          for (int j = 0; j < insideEnd - inside; ++j) {
            const int sample = from[2 * j];
            to[j] = sample;
            loudest = std::max(loudest, std::abs(sample));
          }
        }
        kernel_(phaseTaps_, blockSamples + kHistory, samples, scratch.filtered[channel].data(),
                kBlockSamples);
        margin[channel] = CertificationMargin(sumOfTapMagnitudes_, loudest) * marginScale_;
      }
    }
    if (!fastPath_) {
      const std::int64_t frames = blockEnd - blockFirst;
      FillDraws(source, static_cast<std::size_t>(frames * kDrawsPerFrame), scratch.draws.data());
      for (std::int64_t f = blockFirst; f < blockEnd; ++f) {
        const std::uint32_t* k = &scratch.draws[static_cast<std::size_t>((f - blockFirst) * kDrawsPerFrame)];
        PackFrame24(ExactSample(0, f, k[0], k[1], levels), ExactSample(1, f, k[2], k[3], levels), out);
        out += kPackedFrameBytes;
      }
      continue;
    }
    const BlockValues values{scratch.filtered[0].data(), scratch.filtered[1].data(), margin[0], margin[1]};
    const auto exact = [this, &levels](int channel, std::int64_t frame, std::uint32_t k1, std::uint32_t k2) {
      return ExactSample(channel, frame, k1, k2, levels);
    };
    std::int64_t f = blockFirst;
#if defined(__x86_64__)
    if (vectorLoop_) {
      // Whole input samples in groups of sixteen frames; the frames before
      // and after them go the plain way.
      const std::int64_t vectorFirst =
          std::min(blockEnd, (blockFirst + OversamplingRatio - 1) / OversamplingRatio * OversamplingRatio);
      const int groups = static_cast<int>((blockEnd - vectorFirst) / kGroupFrames);
      if (groups > 0) {
        out = QuantisePlain(values, p0, f, vectorFirst, source, out, levels, exact);
        std::uint8_t* groupsOut = out;
        const int offset = static_cast<int>(vectorFirst - p0 * OversamplingRatio);
        const int uncertain =
            QuantiseGroupsAvx2(values, offset, groups, source, groupsOut, scratch.uncertain.data(), levels);
        f = vectorFirst + std::int64_t{groups} * kGroupFrames;
        out += (f - vectorFirst) * kPackedFrameBytes;
        for (int i = 0; i < uncertain; ++i) {
          const int entry = scratch.uncertain[static_cast<std::size_t>(i)];
          const int channel = entry & 1;
          const std::int64_t frame = p0 * OversamplingRatio + entry / 2;
          UniformSource at = SourceAtFrame(passStart_, frame);
          if (channel == 1) {
            NextDraw(at);
            NextDraw(at);
          }
          const std::uint32_t k1 = NextDraw(at);
          const std::uint32_t k2 = NextDraw(at);
          PackSample24(ExactSample(channel, frame, k1, k2, levels),
                       groupsOut + (frame - vectorFirst) * kPackedFrameBytes + 3 * channel);
        }
      }
    }
#endif
    out = QuantisePlain(values, p0, f, blockEnd, source, out, levels, exact);
  }
  AddLevels(levels);
}

}  // namespace quenlow
