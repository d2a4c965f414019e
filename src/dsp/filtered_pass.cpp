#include "dsp/filtered_pass.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "dsp/dither_draws.h"
#include "dsp/fast_filter_bound.h"
#include "dsp/packed_frame.h"
#include "dsp/quantiser.h"
#include "dsp/reconstruction_filter.h"

namespace quenlow {
namespace {

constexpr std::int64_t kTaskFrames = 16384;
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
};

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

void FilteredPass::Produce(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  // Runs start on whole input samples where they can, so that no block is
  // filtered twice.
  pool_.Run(RunCount(count, kTaskFrames), [&](int task) {
    const std::int64_t start = first + task * kTaskFrames;
    const std::int64_t frames = std::min(kTaskFrames, first + count - start);
    ProduceRun(start, frames, out + (start - first) * kPackedFrameBytes);
  });
}

std::int32_t FilteredPass::ExactSample(int channel, std::int64_t frame, std::uint32_t k1, std::uint32_t k2) {
  exactRecomputations_.fetch_add(1, std::memory_order_relaxed);
  const double value = ExactFilteredValue(taps_, input_.interleaved + channel, input_.frames, 2, frame);
  return QuantiseFilteredValue(value, k1, k2);
}

void FilteredPass::ProduceRun(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  UniformSource source = SourceAtFrame(passStart_, first);
  Scratch scratch;
  const std::int64_t end = first + count;
  for (std::int64_t p0 = first / OversamplingRatio; p0 * OversamplingRatio < end; p0 += kBlockSamples) {
    const std::int64_t blockFirst = std::max(first, p0 * OversamplingRatio);
    const std::int64_t blockEnd = std::min(end, (p0 + kBlockSamples) * OversamplingRatio);
    const int samples = static_cast<int>((blockEnd - 1) / OversamplingRatio - p0 + 1);
    double margin[2] = {0.0, 0.0};
    if (fastPath_) {
      for (int channel = 0; channel < 2; ++channel) {
        int loudest = 0;
        for (int j = 0; j < kHistory + kBlockSamples; ++j) {
          const std::int64_t index = p0 - kHistory + j;
          const bool inside = index >= 0 && index < input_.frames && j < kHistory + samples;
          const int sample = inside ? input_.interleaved[2 * index + channel] : 0;
          scratch.samples[static_cast<std::size_t>(j)] = sample;
          loudest = std::max(loudest, std::abs(sample));
        }
        kernel_(phaseTaps_, scratch.samples.data() + kHistory, samples, scratch.filtered[channel].data(),
                kBlockSamples);
        margin[channel] = CertificationMargin(sumOfTapMagnitudes_, loudest) * marginScale_;
      }
    }
    const std::int64_t frames = blockEnd - blockFirst;
    FillDraws(source, static_cast<std::size_t>(frames * kDrawsPerFrame), scratch.draws.data());
    if (!fastPath_) {
      for (std::int64_t f = blockFirst; f < blockEnd; ++f) {
        const std::uint32_t* k = &scratch.draws[static_cast<std::size_t>((f - blockFirst) * kDrawsPerFrame)];
        PackFrame24(ExactSample(0, f, k[0], k[1]), ExactSample(1, f, k[2], k[3]), out);
        out += kPackedFrameBytes;
      }
      continue;
    }
    // Locals, not members or vector elements: the byte stores below could
    // alias those and force them to be read again every frame.
    const double* leftValues = scratch.filtered[0].data();
    const double* rightValues = scratch.filtered[1].data();
    const std::uint32_t* draws = scratch.draws.data();
    const double leftMargin = margin[0];
    const double rightMargin = margin[1];
    for (std::int64_t f = blockFirst; f < blockEnd; ++f) {
      const std::uint32_t* k = draws + (f - blockFirst) * kDrawsPerFrame;
      const std::int64_t at = (f & (OversamplingRatio - 1)) * kBlockSamples + (f / OversamplingRatio - p0);
      const CertifiedSample left = CertifyQuantised(kScale * leftValues[at] + DitherOf(k[0], k[1]), leftMargin);
      const CertifiedSample right = CertifyQuantised(kScale * rightValues[at] + DitherOf(k[2], k[3]), rightMargin);
      if (left.certain & right.certain) [[likely]] {
        PackFrame24(left.q, right.q, out);
      } else {
        PackFrame24(left.certain ? left.q : ExactSample(0, f, k[0], k[1]),
                    right.certain ? right.q : ExactSample(1, f, k[2], k[3]), out);
      }
      out += kPackedFrameBytes;
    }
  }
}

}  // namespace quenlow
