#include "listen/crossfade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/quantiser.h"
#include "support/first_difference.h"

namespace quenlow::listen {
namespace {

using quenlow::test::FirstDifference;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kRate = 176400;
const std::int64_t kFade = FadeFrames(kRate);

Bytes RandomFrames(std::size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::int32_t> value(kSample24Min, kSample24Max);
  Bytes bytes(frames * 6);
  for (std::size_t i = 0; i < 2 * frames; ++i) PackSample24(value(random), &bytes[3 * i]);
  // Full scale of both signs, where rounding and clamping could go wrong.
  PackSample24(kSample24Max, &bytes[0]);
  PackSample24(kSample24Min, &bytes[3]);
  return bytes;
}

// Mixes the three sources in pieces of `piece` frames, asking for `target`
// before the frame `at` of each request.
Bytes MixWith(const std::vector<Bytes>& sources, std::int64_t piece,
              const std::vector<std::pair<std::int64_t, Source>>& requests) {
  Crossfader fader(kRate, Source::kUnfiltered);
  const auto frames = static_cast<std::int64_t>(sources[0].size() / 6);
  Bytes out(sources[0].size());
  std::size_t next = 0;
  for (std::int64_t f = 0; f < frames;) {
    while (next < requests.size() && requests[next].first == f) fader.Request(requests[next++].second);
    std::int64_t n = std::min(piece, frames - f);
    if (next < requests.size()) n = std::min(n, requests[next].first - f);
    fader.Mix({sources[0].data() + 6 * f, sources[1].data() + 6 * f, sources[2].data() + 6 * f}, n,
              out.data() + 6 * f);
    f += n;
  }
  return out;
}

Bytes Slice(const Bytes& bytes, std::int64_t first, std::int64_t count) {
  return Bytes(bytes.begin() + 6 * first, bytes.begin() + 6 * (first + count));
}

TEST(Crossfade, TheGainsOfEveryFadeAddUpToOneAndMirrorEachOther) {
  EXPECT_EQ(kFade, 1764);
  EXPECT_EQ(FadeFrames(192000), 1920);
  for (std::int64_t i = 0; i < kFade; ++i) {
    const double in = FadeInGain(i, kFade);
    ASSERT_GT(in, 0.0);
    ASSERT_LT(in, 1.0);
    ASSERT_NEAR(in + FadeInGain(kFade - 1 - i, kFade), 1.0, 1e-15) << i;
    if (i > 0) {
      ASSERT_GT(in, FadeInGain(i - 1, kFade));
    }
  }
}

TEST(Crossfade, ASwitchToTheSourcePlayingLeavesEveryByte) {
  const std::vector<Bytes> sources = {RandomFrames(6000, 1), RandomFrames(6000, 2), RandomFrames(6000, 3)};
  const Bytes out = MixWith(sources, 100, {{5, Source::kUnfiltered}, {1000, Source::kUnfiltered}});
  EXPECT_EQ(FirstDifference(out, sources[0]), "");
}

TEST(Crossfade, EachSourceIsExactOnEitherSideOfOneFadeOfTheSameShape) {
  const std::vector<Bytes> sources = {RandomFrames(9000, 4), RandomFrames(9000, 5), RandomFrames(9000, 6)};
  struct Case {
    std::int64_t at;
    std::int64_t piece;
    Source to;
  };
  for (const Case& c : {Case{0, 256, Source::kFiltered}, Case{777, 256, Source::kOriginal},
                        Case{4000, 1, Source::kFiltered}, Case{5000, 3000, Source::kOriginal}}) {
    const Bytes out = MixWith(sources, c.piece, {{c.at, c.to}});
    const Bytes& to = sources[static_cast<std::size_t>(c.to)];
    EXPECT_EQ(FirstDifference(Slice(out, 0, c.at), Slice(sources[0], 0, c.at)), "") << "before the fade at " << c.at;
    const std::int64_t after = c.at + kFade;
    EXPECT_EQ(FirstDifference(Slice(out, after, 9000 - after), Slice(to, after, 9000 - after)), "")
        << "after the fade at " << c.at;
    // The same raised cosine wherever the switch falls, however the frames
    // come in.
    const Bytes again = MixWith(sources, 17, {{c.at, c.to}});
    EXPECT_EQ(FirstDifference(Slice(again, c.at, kFade), Slice(out, c.at, kFade)), "");
  }
}

TEST(Crossfade, ASwitchAskedForDuringAFadeStartsAtItsEnd) {
  const std::vector<Bytes> sources = {RandomFrames(8000, 7), RandomFrames(8000, 8), RandomFrames(8000, 9)};
  const Bytes both = MixWith(sources, 64, {{100, Source::kFiltered}, {500, Source::kOriginal}});
  const Bytes first = MixWith(sources, 64, {{100, Source::kFiltered}});
  // Up to the first fade's end it is the first switch alone, and the
  // second fade then runs whole, like any other from filtered.
  EXPECT_EQ(FirstDifference(Slice(both, 0, 100 + kFade), Slice(first, 0, 100 + kFade)), "");
  std::vector<Bytes> fromFiltered = {sources[1], sources[1], sources[2]};
  const Bytes second = MixWith(fromFiltered, 64, {{100 + kFade, Source::kOriginal}});
  EXPECT_EQ(FirstDifference(Slice(both, 100 + kFade, 8000 - 100 - kFade), Slice(second, 100 + kFade, 8000 - 100 - kFade)),
            "");
}

}  // namespace
}  // namespace quenlow::listen
