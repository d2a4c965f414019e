#include "listen/sources.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "listen/listen_test_support.h"
#include "support/first_difference.h"
#include "wav/recording_reader.h"

namespace quenlow::listen {
namespace {

using quenlow::test::FirstDifference;
using test::Bytes;

// The player renders the sources by turns, block after block, seeks and
// loops included: each must still be its file's frames at every block.
TEST(Timeline, SourcesRenderedByTurnsInBlocksAreTheFilesFrames) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(44100, 31));
  ASSERT_FALSE(files.filtered.empty());
  const std::optional<FilterTaps> taps = LoadFilterTaps(test::kSuppliedFilter);
  ASSERT_TRUE(taps);
  RecordingReader reader(files.recording.path, files.recording.info, files.recording.frames);
  SourceTimeline timeline(reader, 44100, files.recording.frames, *taps);
  EXPECT_EQ(timeline.Frames(), 4 * 44100);
  EXPECT_EQ(timeline.Rate(), 176400);
  constexpr std::int64_t kBlock = 2048;
  for (const std::int64_t first : {std::int64_t{88200}, std::int64_t{0}, std::int64_t{176400 - 3 * kBlock}, std::int64_t{88200}}) {
    for (std::int64_t block = first; block < first + 3 * kBlock; block += kBlock) {
      for (const Source source : {Source::kUnfiltered, Source::kFiltered, Source::kOriginal}) {
        Bytes got(kBlock * 6);
        ASSERT_TRUE(timeline.Render(source, block, kBlock, got.data()));
        if (source == Source::kOriginal) continue;
        const bool filtered = source == Source::kFiltered;
        const Bytes expected = test::FileFrames(filtered ? files.filtered : files.unfiltered,
                                                block + (filtered ? kFilteredDelayFrames : 0), kBlock);
        ASSERT_EQ(FirstDifference(got, expected), "") << SourceName(source) << ", block at " << block;
      }
    }
  }
}

}  // namespace
}  // namespace quenlow::listen
