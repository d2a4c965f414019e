#include "dsp/quantiser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/extended_float.h"
#include "dsp/oversampler.h"

namespace quenlow {
namespace {

std::vector<std::uint8_t> Pack(std::int32_t q) {
  std::vector<std::uint8_t> bytes(3);
  PackSample24(q, bytes.data());
  return bytes;
}

TEST(Quantiser, FirstUnfilteredFramesOfTheRunAreFixed) {
  const std::vector<std::int16_t> interleaved = {1000, -1000};
  const StereoChannels channels = SplitChannels(interleaved);
  UniformSource source;
  const PackedSampleBlock block = QuantiseHeld(HoldSamples(channels.left, OversamplingRatio),
                                               HoldSamples(channels.right, OversamplingRatio), source);
  const std::vector<std::uint8_t> expected = {
      0x00, 0xE7, 0x03, 0x00, 0x19, 0xFC, 0x00, 0xE7, 0x03, 0x00, 0x19, 0xFC,
      0x00, 0xE7, 0x03, 0x01, 0x19, 0xFC, 0x00, 0xE7, 0x03, 0x00, 0x19, 0xFC};
  EXPECT_EQ(block, expected);
  EXPECT_EQ(source.state, JumpAhead(UniformSource{}, 16).state) << "four draws a frame";
}

TEST(Quantiser, PacksTheLowTwentyFourBitsLeastSignificantFirst) {
  EXPECT_EQ(QuantiseHeldSample(-32768, 0, 0), -8380220);  // t = -8380220.5 goes to even
  EXPECT_EQ(Pack(-8380220), (std::vector<std::uint8_t>{0xC4, 0x20, 0x80}));
  EXPECT_EQ(Pack(-1), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Pack(1), (std::vector<std::uint8_t>{0x01, 0x00, 0x00}));
  const std::uint32_t top = 0x7FFFFFFFu;
  EXPECT_EQ(QuantiseHeldSample(32767, top, top), 8379965);
  EXPECT_EQ(Pack(8379965), (std::vector<std::uint8_t>{0x3D, 0xDE, 0x7F}));
}

TEST(Quantiser, SilenceGivesOnlyTheDither) {
  UniformSource source;
  for (int i = 0; i < 10000; ++i) {
    const std::int32_t q = QuantiseTo24(std::int16_t{0}, source);
    EXPECT_GE(q, -1);
    EXPECT_LE(q, 1);
  }
}

// The integer form must give the bits of the extended-precision steps, which
// the filtered path computes, for every sample and draw; ties included.
TEST(Quantiser, IntegerFormAgreesWithTheExtendedPrecisionSteps) {
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> draw(0, 0x7FFFFFFFu);
  for (int s = -32768; s <= 32767; ++s) {
    const auto sample = static_cast<std::int16_t>(s);
    for (int i = 0; i < 8; ++i) {
      const std::uint32_t k1 = draw(random);
      const std::uint32_t k2 = draw(random);
      ASSERT_EQ(QuantiseHeldSample(sample, k1, k2), QuantiseFilteredValue(sample, k1, k2))
          << "s=" << s << " k1=" << k1 << " k2=" << k2;
    }
    // A draw pair that lands t exactly on a half: k1 + k2 chosen so the
    // numerator is an odd multiple of 2^30.
    const std::int64_t base = std::int64_t{16760439} * 32768 * s - (std::int64_t{1} << 31);
    std::int64_t need = ((std::int64_t{1} << 30) - base) % (std::int64_t{1} << 31);
    if (need < 0) need += std::int64_t{1} << 31;
    const auto k1 = static_cast<std::uint32_t>(need / 2);
    const auto k2 = static_cast<std::uint32_t>(need - need / 2);
    ASSERT_EQ(QuantiseHeldSample(sample, k1, k2), QuantiseFilteredValue(sample, k1, k2)) << "tie s=" << s;
  }
}

TEST(Quantiser, FilteredValuesBeyondTheRangeSaturateInsteadOfWrapping) {
  EXPECT_EQ(QuantiseFilteredValue(40000.0, 0, 0), kSample24Max);
  EXPECT_EQ(QuantiseFilteredValue(-40000.0, 0, 0), kSample24Min);
  EXPECT_EQ(QuantiseFilteredValue(1e300, 5, 5), kSample24Max);
  EXPECT_EQ(QuantiseFilteredValue(-1e300, 5, 5), kSample24Min);
  EXPECT_EQ(QuantiseFilteredValue(INFINITY, 0, 0), kSample24Max);
  EXPECT_EQ(QuantiseFilteredValue(-INFINITY, 0, 0), kSample24Min);
  EXPECT_EQ(QuantiseFilteredValue(NAN, 0, 0), 0);
  // Just inside the range nothing changes: 32767.5 * 255.744... < 2^23.
  EXPECT_EQ(QuantiseFilteredValue(32767.0, 0x40000000u, 0x40000000u), QuantiseHeldSample(32767, 0x40000000u, 0x40000000u));
}

}  // namespace
}  // namespace quenlow
