// The WAV file as the job's sample source: any run of frames, from the data
// offset the header check found, the file's values with silence past its end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "wav/checked_recording.h"
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

// The job reads the file whose header was checked, through the same open
// file, and its state at the check is the baseline: another file renamed
// over the name (whose data would start elsewhere), the file cut short, or
// written in place with its write time put back (the change time still
// tells) all stop the job with a message, where before the first gave the
// other file's LIST bytes as audio and the second a silent tail.
TEST(RecordingReader, ReadsTheFileThatWasCheckedAndNoticesAnyChangeSinceTheCheck) {
  Bytes samples;
  for (int i = 0; i < 400; ++i) samples.push_back(static_cast<std::uint8_t>(i * 37 + 1));
  const Bytes original = test::RiffFile({test::Chunk("fmt ", test::FormatPayload({})), test::Chunk("data", samples)});
  // Another recording with a LIST chunk ahead of its audio: read at the
  // first one's data offset, its LIST bytes would be taken for audio.
  const Bytes other = test::RiffFile({test::Chunk("fmt ", test::FormatPayload({})), test::Chunk("LIST", Bytes(40, 'L')),
                                      test::Chunk("data", Bytes(400, 0x55))});
  const struct {
    const char* what;
    std::function<void(const std::string& path, const test::ScratchFolder& folder)> change;
    bool readable;  // the checked recording is still what is read
  } cases[] = {
      {"nothing", [](const std::string&, const test::ScratchFolder&) {}, true},
      {"another file renamed over the name",
       [&](const std::string& path, const test::ScratchFolder& folder) {
         ASSERT_EQ(std::rename(folder.Write("other.wav", other).c_str(), path.c_str()), 0);
       },
       false},
      {"cut short", [](const std::string& path, const test::ScratchFolder&) { ASSERT_EQ(truncate(path.c_str(), 100), 0); },
       false},
      {"written in place, its write time put back",
       [](const std::string& path, const test::ScratchFolder&) {
         struct stat before {};
         ASSERT_EQ(stat(path.c_str(), &before), 0);
         const int fd = open(path.c_str(), O_WRONLY);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(pwrite(fd, "\x7f\x7f\x7f\x7f", 4, 60), 4);
         const timespec times[2] = {before.st_atim, before.st_mtim};
         ASSERT_EQ(futimens(fd, times), 0);
         close(fd);
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchFolder folder;
    const std::string path = folder.Write("take.wav", original);
    CheckedRecording checked = CheckRecording(path);
    ASSERT_TRUE(checked.header.info) << static_cast<int>(checked.header.rejection);
    const WavFormatInfo info = *checked.header.info;
    ASSERT_NE(checked.file.Handle(), platform::kNoFile);
    // A moment later, so that a change time would differ even on a coarse clock.
    usleep(20000);
    c.change(path, folder);
    RecordingReader reader(path, std::move(checked.file), info, SampleFrameCount(info));
    std::vector<std::int16_t> piece(200, -1);
    ASSERT_EQ(reader.Read(0, 100, piece.data()), c.readable) << static_cast<int>(reader.Failure().problem);
    if (c.readable) {
      for (std::size_t i = 0; i < piece.size(); ++i) {
        ASSERT_EQ(piece[i], static_cast<std::int16_t>(samples[2 * i] | samples[2 * i + 1] << 8)) << "value " << i;
      }
    } else {
      EXPECT_EQ(reader.Failure().problem, SourceProblem::kChanged);
      EXPECT_EQ(reader.Failure().name, path);
    }
  }
}

}  // namespace
}  // namespace quenlow
