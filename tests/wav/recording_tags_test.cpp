// The outputs' tags: titles marked apart, the filter named, and a LIST/INFO
// chunk that reads back to what it was made from.
#include "wav/recording_tags.h"

#include <gtest/gtest.h>

#include <string>

namespace quenlow {
namespace {

TEST(RecordingTags, EachOutputsTitleIsMarkedAndOnlyTheFilteredOneNamesTheFilter) {
  const RecordingTags song = {{"ARTIST", "Band"}, {"TITLE", "Song"}, {"TITLE", "Alt"}};
  struct Case {
    RecordingTags recording;
    OutputKind kind;
    RecordingTags expected;
  };
  const Case cases[] = {
      {song, OutputKind::Unfiltered, {{"ARTIST", "Band"}, {"TITLE", "Song (unfiltered, Quenlow)"}, {"TITLE", "Alt"}}},
      {song, OutputKind::Filtered,
       {{"ARTIST", "Band"},
        {"TITLE", "Song (filtered, Quenlow)"},
        {"TITLE", "Alt"},
        {"COMMENT", "Quenlow reconstruction filter SHA-256 c0ffee"}}},
      {{}, OutputKind::Unfiltered, {{"TITLE", "01 Intro (unfiltered, Quenlow)"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OutputTags(c.recording, c.kind, "01 Intro", "c0ffee"), c.expected);
  }
}

TEST(RecordingTags, AnInfoChunkHoldsTheFieldsItKnowsPaddedAndReadsBack) {
  const RecordingTags tags = {{"TITLE", "Odd"},     {"ARTIST", "Even"}, {"ALBUM", "A"},     {"TRACKNUMBER", "7"},
                              {"DATE", "2026"},     {"GENRE", "Jazz"},  {"COMMENT", "note"}, {"COPYRIGHT", "c"},
                              {"ENCODER", "lost"},  {"COMPOSER", "lost"}};
  const std::vector<std::uint8_t> chunk = InfoChunk(tags);
  ASSERT_GE(chunk.size(), 12u);
  EXPECT_EQ(std::string(chunk.begin(), chunk.begin() + 4), "LIST");
  EXPECT_EQ(std::string(chunk.begin() + 8, chunk.begin() + 12), "INFO");
  const std::uint32_t size = chunk[4] | chunk[5] << 8 | chunk[6] << 16 | chunk[7] << 24;
  EXPECT_EQ(size, chunk.size() - 8);
  EXPECT_EQ(chunk.size() % 2, 0u);
  // "Odd" and its NUL make 4 bytes, no pad; "Even" and its NUL 5, one pad.
  EXPECT_EQ(std::string(chunk.begin() + 12, chunk.begin() + 24), std::string("INAM\4\0\0\0Odd\0", 12));
  EXPECT_EQ(std::string(chunk.begin() + 24, chunk.begin() + 38), std::string("IART\5\0\0\0Even\0\0", 14));
  const RecordingTags back = TagsOfInfoChunk(chunk.data() + 12, chunk.size() - 12);
  EXPECT_EQ(back, RecordingTags(tags.begin(), tags.begin() + 8));
  EXPECT_TRUE(InfoChunk({{"ENCODER", "x"}, {"TITLE", ""}}).empty());
}

TEST(RecordingTags, AMalformedInfoBodyGivesWhatItHoldsUpToTheFault) {
  std::vector<std::uint8_t> body = {'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0,
                                    'I', 'A', 'R', 'T', 200, 0, 0, 0, 'x', 0};
  EXPECT_EQ(TagsOfInfoChunk(body.data(), body.size()), (RecordingTags{{"TITLE", "ab"}}));
  EXPECT_TRUE(TagsOfInfoChunk(body.data(), 5).empty());
}

}  // namespace
}  // namespace quenlow
