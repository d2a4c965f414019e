#include "dsp/reconstruction_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "dsp/oversampler.h"
#include "dsp/signal_chain.h"
#include "support/reference_chain.h"

namespace quenlow {
namespace {

using test::ReferenceOutputs;
using test::RunReferenceChain;

std::int32_t Unpack(const PackedSampleBlock& block, std::size_t element) {
  return test::UnpackSample24(block, element);
}

FilterTaps Identity() {
  FilterTaps taps{};
  taps[0] = 1.0;
  return taps;
}

TEST(ReconstructionFilter, IdentityTapsOnOneFrameGiveTheKnownFrames) {
  const ReferenceOutputs out = RunReferenceChain({1000, -1000}, Identity());
  ASSERT_EQ(out.filtered.size(), 218u * 6);
  const std::int32_t expected[6][2] = {{255744, -255744}, {255745, -255744}, {255744, -255744},
                                       {255743, -255744}, {0, 0},           {0, 1}};
  for (std::size_t f = 0; f < 6; ++f) {
    EXPECT_EQ(Unpack(out.filtered, 2 * f), expected[f][0]) << "frame " << f;
    EXPECT_EQ(Unpack(out.filtered, 2 * f + 1), expected[f][1]) << "frame " << f;
  }
}

TEST(ReconstructionFilter, EmptyInputOrZeroTapsGiveDitherAlone) {
  for (const auto& input : {std::vector<std::int16_t>{}, std::vector<std::int16_t>{32767, -32768, 5, 5}}) {
    const ReferenceOutputs out = RunReferenceChain(input, FilterTaps{});
    ASSERT_EQ(out.filtered.size(), (input.size() / 2 * 4 + 214) * 6);
    for (std::size_t e = 0; e < out.filtered.size() / 3; ++e) {
      const std::int32_t q = Unpack(out.filtered, e);
      ASSERT_TRUE(q >= -1 && q <= 1) << "element " << e;
    }
  }
}

TEST(ReconstructionFilter, IdentityTapsFollowTheHeldSignalThenDecayToZero) {
  const std::vector<std::int16_t> held = {7, -3, 12, 0};
  FilteredChannels filtered = ConvolveHeld(held, held, Identity());
  ASSERT_EQ(filtered.left.size(), held.size() + 214);
  for (std::size_t m = 0; m < filtered.left.size(); ++m) {
    EXPECT_EQ(filtered.left[m], m < held.size() ? held[m] : 0.0);
  }
}

// Each value alone, by the same roundings, must match the whole convolution.
TEST(ReconstructionFilter, ValueByValueMatchesTheWholeConvolution) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> tap(-0.3, 0.3);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  FilterTaps taps{};
  for (double& t : taps) t = tap(random);
  std::vector<std::int16_t> interleaved(2 * 70);
  for (auto& s : interleaved) s = static_cast<std::int16_t>(sample(random));
  const StereoChannels channels = SplitChannels(interleaved);
  const FilteredChannels whole = ConvolveHeld(HoldSamples(channels.left, 4), HoldSamples(channels.right, 4), taps);
  for (std::int64_t m = 0; m < static_cast<std::int64_t>(whole.left.size()); ++m) {
    ASSERT_EQ(ExactFilteredValue(taps, interleaved.data(), 70, 2, m), whole.left[m]) << m;
    ASSERT_EQ(ExactFilteredValue(taps, interleaved.data() + 1, 70, 2, m), whole.right[m]) << m;
  }
}

TEST(SignalChain, PiecesInAnyOrderGiveTheWholeArrayChainsBytes) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::uniform_real_distribution<double> tap(-0.05, 0.1);
  FilterTaps taps{};
  for (double& t : taps) t = tap(random);
  for (std::int64_t frames : {0, 1, 2, 57}) {
    std::vector<std::int16_t> interleaved(static_cast<std::size_t>(2 * frames));
    for (auto& s : interleaved) s = static_cast<std::int16_t>(sample(random));
    const ReferenceOutputs reference = RunReferenceChain(interleaved, taps);
    const SignalInput input{interleaved.data(), frames};

    PackedSampleBlock unfiltered(static_cast<std::size_t>(UnfilteredFrameCount(frames)) * 6);
    PackedSampleBlock filtered(static_cast<std::size_t>(FilteredFrameCount(frames)) * 6);
    // Back to front in uneven pieces.
    for (std::int64_t end = UnfilteredFrameCount(frames); end > 0;) {
      const std::int64_t first = std::max<std::int64_t>(0, end - 13);
      ProduceUnfilteredFrames(input, UniformSource{}, first, end - first, &unfiltered[static_cast<std::size_t>(first) * 6]);
      end = first;
    }
    const UniformSource filteredStart = FilteredPassStart(UniformSource{}, frames);
    for (std::int64_t end = FilteredFrameCount(frames); end > 0;) {
      const std::int64_t first = std::max<std::int64_t>(0, end - 29);
      ProduceFilteredFramesExact(input, taps, filteredStart, first, end - first, &filtered[static_cast<std::size_t>(first) * 6]);
      end = first;
    }
    EXPECT_EQ(unfiltered, reference.unfiltered) << frames << " frames";
    EXPECT_EQ(filtered, reference.filtered) << frames << " frames";
  }
}

}  // namespace
}  // namespace quenlow
