// The WAV file as the job's sample source: any run of frames, from the data
// offset the header check found, the file's values with silence past its end.
#include <gtest/gtest.h>

#include <cstdio>

#include "wav/recording_reader.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

using test::Bytes;

TEST(RecordingReader, AnyRunOfFramesIsTheWholeBlocksWithSilencePastTheFile) {
  // Five frames behind a LIST chunk; the header promises eight.
  Bytes samples;
  for (int i = 0; i < 20; ++i) samples.push_back(static_cast<std::uint8_t>(i * 37 + 1));
  Bytes data = test::ChunkHeader("data", 32);
  data.insert(data.end(), samples.begin(), samples.end());
  const Bytes file = test::Join({test::RiffFile({test::Chunk("fmt ", test::FormatPayload({})),
                                                 test::Chunk("LIST", Bytes(9, 'x'))}),
                                 data});
  test::ScratchFolder folder;
  const std::string path = folder.Write("short.wav", file);
  const WavHeaderResult header = ReadWavHeader(path);
  ASSERT_TRUE(header.info);
  // Three frames more than the file holds, as a reader may be asked for.
  const std::int64_t frames = 8;
  std::vector<std::int16_t> whole(16);
  for (std::size_t i = 0; i < whole.size(); ++i) {
    whole[i] = i < 10 ? static_cast<std::int16_t>(samples[2 * i] | samples[2 * i + 1] << 8) : 0;
  }

  RecordingReader reader(path, *header.info, frames);
  SampleSource& source = reader;
  struct Run {
    std::int64_t first;
    std::int64_t count;
  };
  // Out of order, overlapping, past the file's end.
  for (const Run run : {Run{3, 5}, Run{0, 3}, Run{4, 1}, Run{0, 8}, Run{6, 2}}) {
    std::vector<std::int16_t> piece(2 * static_cast<std::size_t>(run.count), -1);
    ASSERT_TRUE(source.Read(run.first, run.count, piece.data()));
    const std::vector<std::int16_t> expected(whole.begin() + 2 * run.first,
                                             whole.begin() + 2 * (run.first + run.count));
    EXPECT_EQ(piece, expected) << "frames from " << run.first;
  }

  // A file gone between the check and the job is a failure, not silence.
  RecordingReader gone(folder.Path("gone.wav"), *header.info, frames);
  std::vector<std::int16_t> piece(2);
  EXPECT_FALSE(gone.Read(0, 1, piece.data()));
  EXPECT_EQ(gone.Failure().problem, SourceProblem::kCannotOpen);
  EXPECT_EQ(gone.Failure().name, folder.Path("gone.wav"));
}

}  // namespace
}  // namespace quenlow
