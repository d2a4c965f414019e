// The outputs' tags: titles marked apart, the filter named, and a LIST/INFO
// chunk that reads back to what it was made from.
#include "wav/recording_tags.h"

#include <algorithm>

#include "wav/wav_tags.h"

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

namespace quenlow {
namespace {

void PutChunk(std::vector<std::uint8_t>& file, const char* id, const std::vector<std::uint8_t>& body) {
  file.insert(file.end(), id, id + 4);
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(body.size() >> (8 * i)));
  file.insert(file.end(), body.begin(), body.end());
  if (body.size() % 2 != 0) file.push_back(0);
}

// A WAVE file: format, then the chunks given in order ("data" with `frames`
// frames of silence).
std::vector<std::uint8_t> WaveFile(const std::vector<std::pair<const char*, std::vector<std::uint8_t>>>& chunks) {
  std::vector<std::uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  PutChunk(file, "fmt ", {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0});
  for (const auto& [id, body] : chunks) PutChunk(file, id, body);
  return file;
}

RecordingTags TagsOf(const std::vector<std::uint8_t>& file) {
  const ByteSource source = [&file](std::uint64_t offset, std::uint8_t* out, std::size_t want) -> std::size_t {
    if (offset >= file.size()) return 0;
    const std::size_t n = std::min<std::size_t>(want, file.size() - offset);
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset), n, out);
    return n;
  };
  return ReadWavTags(source, file.size());
}

TEST(WavTags, TheInfoChunkIsFoundBeforeOrAfterTheAudioAndNothingElseIsTakenForIt) {
  const RecordingTags tags = {{"TITLE", "Song"}, {"ARTIST", "Band"}};
  const std::vector<std::uint8_t> info = InfoChunk(tags);
  const std::vector<std::uint8_t> body(info.begin() + 8, info.end());
  // Audio bytes that look like a LIST/INFO chunk are audio.
  std::vector<std::uint8_t> audio(400, 0);
  std::copy(info.begin(), info.end(), audio.begin() + 4);
  const std::vector<std::uint8_t> adtl = {'a', 'd', 't', 'l', 'l', 'a', 'b', 'l'};
  EXPECT_EQ(TagsOf(WaveFile({{"data", audio}, {"LIST", body}})), tags);
  EXPECT_EQ(TagsOf(WaveFile({{"LIST", body}, {"data", audio}})), tags);
  EXPECT_EQ(TagsOf(WaveFile({{"LIST", adtl}, {"data", audio}, {"LIST", body}})), tags);
  EXPECT_TRUE(TagsOf(WaveFile({{"data", audio}})).empty());
  std::vector<std::uint8_t> cut = WaveFile({{"data", audio}, {"LIST", body}});
  cut.resize(cut.size() - 6);
  EXPECT_TRUE(TagsOf(cut).empty());
}

}  // namespace
}  // namespace quenlow
