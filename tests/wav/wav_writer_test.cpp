#include <gtest/gtest.h>
#include <sndfile.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "wav/output_pair.h"
#include "wav/output_wav_header.h"
#include "wav/recording_tags.h"
#include "wav/unfinished_outputs.h"
#include "wav/wav_writer.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

using test::Bytes;
using test::ReadWholeFile;
using test::ScratchFolder;

std::int32_t LeftSample(std::int64_t frame) { return static_cast<std::int32_t>(frame * 1001 - 8388608 % 7919); }
std::int32_t RightSample(std::int64_t frame) { return static_cast<std::int32_t>(8388607 - frame * 3); }

// A packed block with a different, known value in every sample.
Bytes PackedBlock(std::int64_t frames) {
  Bytes bytes;
  for (std::int64_t i = 0; i < frames; ++i) {
    for (std::int32_t value : {LeftSample(i), RightSample(i)}) {
      for (int b = 0; b < 3; ++b) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
    }
  }
  return bytes;
}

// A whole file through the streaming writer, the block handed over in
// pieces as the job hands over its pieces; a null block hands over nothing.
WriteResult WriteWhole(const std::string& fileName, int channelCount, std::int32_t inputSampleRate,
                       std::int64_t frameCount, const std::uint8_t* block) {
  OutputWavWriter writer(fileName, channelCount, std::int64_t{inputSampleRate} * 4, frameCount);
  constexpr std::uint64_t kPieceBytes = std::uint64_t{1} << 20;
  for (std::uint64_t done = 0; block != nullptr && done < writer.DataSize(); done += kPieceBytes) {
    writer.Append(block + done, static_cast<std::size_t>(std::min(kPieceBytes, writer.DataSize() - done)));
  }
  return writer.Finish();
}

// What the writer reports as a system's failure, in the system's words.
std::string SystemReason(const WriteResult& result) {
  return result.failure == WriteFailure::kSystem ? platform::ErrorText(result.error) : "not a system error";
}

std::uint32_t U32At(const Bytes& bytes, std::size_t offset) {
  return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
         (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

std::uint64_t U64At(const Bytes& bytes, std::size_t offset) {
  return U32At(bytes, offset) | (std::uint64_t{U32At(bytes, offset + 4)} << 32);
}

// Opens the file with libsndfile and checks what another program would see.
void ExpectReadableBySndfile(const std::string& path, int majorFormat, int rate, std::int64_t frames) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  EXPECT_EQ(info.format, majorFormat | SF_FORMAT_PCM_24);
  EXPECT_EQ(info.samplerate, rate);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.frames, frames);
  std::vector<int> samples(2 * static_cast<std::size_t>(std::min<std::int64_t>(frames, 16)));
  EXPECT_EQ(sf_readf_int(file, samples.data(), static_cast<sf_count_t>(samples.size() / 2)),
            static_cast<sf_count_t>(samples.size() / 2));
  for (std::size_t i = 0; i < samples.size() / 2; ++i) {
    // libsndfile scales 24-bit samples to the top of an int.
    EXPECT_EQ(samples[2 * i], LeftSample(static_cast<std::int64_t>(i)) * 256) << "frame " << i << " left";
    EXPECT_EQ(samples[2 * i + 1], RightSample(static_cast<std::int64_t>(i)) * 256) << "frame " << i << " right";
  }
  sf_close(file);
}

TEST(OutputFileName, RemovesTheLastFourCharactersWhateverTheyAre) {
  EXPECT_EQ(OutputFileName("take1.wav", kUnfilteredSuffix), "take1 QLW unfiltered.wav");
  EXPECT_EQ(OutputFileName("take1.wav", kFilteredSuffix), "take1 QLW filtered.wav");
  EXPECT_EQ(OutputFileName("take1.wave", kUnfilteredSuffix), "take1. QLW unfiltered.wav");
  EXPECT_EQ(OutputFileName("x.wa", kUnfilteredSuffix), " QLW unfiltered.wav");
  EXPECT_EQ(OutputFileName("ab", kFilteredSuffix), "ab QLW filtered.wav");
  EXPECT_EQ(OutputFileName("", kFilteredSuffix), " QLW filtered.wav");
  EXPECT_EQ(OutputFileName("../in/take1.wav", kFilteredSuffix), "../in/take1 QLW filtered.wav");
}

TEST(WavWriter, WritesTheCanonicalHeaderByteForByte) {
  ScratchFolder folder;
  const std::string path = folder.Path("out.wav");
  const Bytes block = PackedBlock(4);
  ASSERT_TRUE(WriteWhole(path, 2, 44100, 4, block.data()).ok);
  const Bytes expectedHeader = {'R', 'I', 'F', 'F', 60, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                16, 0, 0, 0, 1, 0, 2, 0, 0x10, 0xB1, 0x02, 0, 0x60, 0x26, 0x10, 0,
                                6, 0, 24, 0, 'd', 'a', 't', 'a', 24, 0, 0, 0};
  const Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 44u + 24);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 44), expectedHeader);
  EXPECT_EQ(Bytes(file.begin() + 44, file.end()), block);
  ExpectReadableBySndfile(path, SF_FORMAT_WAV, 176400, 4);
}

TEST(WavWriter, GivesFourTimesTheRateAndItsByteRateAt48kHz) {
  ScratchFolder folder;
  const std::string path = folder.Path("out.wav");
  const Bytes block = PackedBlock(214);
  ASSERT_TRUE(WriteWhole(path, 2, 48000, 214, block.data()).ok);
  const Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 44u + 1284);
  EXPECT_EQ(U32At(file, 24), 192000u);
  EXPECT_EQ(U32At(file, 28), 1152000u);
  EXPECT_EQ(U32At(file, 40), 1284u);
  EXPECT_EQ(U32At(file, 4), 1320u);
  ExpectReadableBySndfile(path, SF_FORMAT_WAV, 192000, 214);
}

TEST(WavWriter, WritesAHeaderAloneForNoFrames) {
  ScratchFolder folder;
  const std::string path = folder.Path("empty.wav");
  ASSERT_TRUE(WriteWhole(path, 2, 44100, 0, nullptr).ok);
  const Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 44u);
  EXPECT_EQ(U32At(file, 4), 36u);
  EXPECT_EQ(U32At(file, 40), 0u);
  ExpectReadableBySndfile(path, SF_FORMAT_WAV, 176400, 0);
}

// Figures no header can carry, and odd channel counts: 3-byte samples in an
// odd number of channels could make an odd data size, which would need a pad
// byte the writer does not write.
TEST(WavWriter, RefusesFiguresItCannotWriteAndWritesNothing) {
  struct Row {
    int channels;
    std::int64_t rate;
    std::int64_t frames;
  };
  for (const Row& row : {Row{0, 176400, 1}, Row{1, 176400, 3}, Row{3, 176400, 1}, Row{2, 0, 1}, Row{2, 176400, -1},
                         Row{2, std::int64_t{1} << 32, 1}}) {
    EXPECT_FALSE(OutputWavHeader(row.channels, row.rate, row.frames).has_value())
        << row.channels << " channels, " << row.rate << " Hz, " << row.frames << " frames";
    ScratchFolder folder;
    OutputWavWriter writer(folder.Path("out.wav"), row.channels, row.rate, row.frames);
    EXPECT_FALSE(writer.Finish().ok);
    EXPECT_TRUE(folder.Entries().empty());
  }
  EXPECT_TRUE(OutputWavHeader(4, 176400, 1).has_value());
}

TEST(WavWriter, ReplacesALongerFileAndLeavesNoTemporaryFile) {
  ScratchFolder folder;
  const std::string path = folder.Write("take1 QLW unfiltered.wav", Bytes(100000, 0xAB));
  const Bytes block = PackedBlock(10);
  ASSERT_TRUE(WriteWhole(path, 2, 44100, 10, block.data()).ok);
  EXPECT_EQ(std::filesystem::file_size(path), 44u + 60);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"take1 QLW unfiltered.wav"});
}

TEST(WavWriter, WritesTheSameFileFromManyPiecesAsFromOne) {
  ScratchFolder folder;
  const std::int64_t frames = 300000;  // past the write buffer
  const Bytes block = PackedBlock(frames);
  ASSERT_TRUE(WriteWhole(folder.Path("whole.wav"), 2, 44100, frames, block.data()).ok);
  OutputWavWriter writer(folder.Path("pieces.wav"), 2, 176400, frames);
  EXPECT_EQ(writer.DataSize(), block.size());
  for (std::size_t at = 0, piece = 1; at < block.size(); at += piece, piece = piece * 3 % 70001 + 1) {
    writer.Append(block.data() + at, std::min(piece, block.size() - at));
  }
  ASSERT_TRUE(writer.Finish().ok);
  EXPECT_EQ(ReadWholeFile(folder.Path("pieces.wav")), ReadWholeFile(folder.Path("whole.wav")));
  ExpectReadableBySndfile(folder.Path("pieces.wav"), SF_FORMAT_WAV, 176400, frames);
}

TEST(WavWriter, GivesTheFileTheModeOfANewlyCreatedFile) {
  ScratchFolder folder;
  const mode_t previous = umask(027);
  const bool ok = WriteWhole(folder.Path("m.wav"), 2, 44100, 0, nullptr).ok;
  umask(previous);
  ASSERT_TRUE(ok);
  struct stat status {};
  ASSERT_EQ(stat(folder.Path("m.wav").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST(WavWriter, WritesRf64WhenTheRiffSizePassesTheLimit) {
  ScratchFolder folder;
  const std::string path = folder.Path("long.wav");
  const std::int64_t frames = 50;
  const Bytes block = PackedBlock(frames);
  {
    // 300 bytes of data would need a RIFF size of 336.
    OutputWavWriter writer(path, 2, 192000, frames, 335);
    writer.Append(block.data(), block.size());
    ASSERT_TRUE(writer.Finish().ok);
  }
  const Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 80u + 300);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RF64");
  EXPECT_EQ(U32At(file, 4), 0xFFFFFFFFu);
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEds64");
  EXPECT_EQ(U32At(file, 16), 28u);
  EXPECT_EQ(U64At(file, 20), 372u);
  EXPECT_EQ(U64At(file, 28), 300u);
  EXPECT_EQ(U64At(file, 36), 50u);
  EXPECT_EQ(U32At(file, 44), 0u);
  EXPECT_EQ(std::string(file.begin() + 48, file.begin() + 52), "fmt ");
  EXPECT_EQ(std::string(file.begin() + 72, file.begin() + 76), "data");
  EXPECT_EQ(U32At(file, 76), 0xFFFFFFFFu);
  ExpectReadableBySndfile(path, SF_FORMAT_RF64, 192000, frames);

  // At the limit the canonical form still holds.
  OutputWavWriter canonical(path, 2, 192000, frames, 336);
  canonical.Append(block.data(), block.size());
  ASSERT_TRUE(canonical.Finish().ok);
  EXPECT_EQ(std::filesystem::file_size(path), 44u + 300);
}

// Tags go after the data in a LIST/INFO chunk that the RIFF size counts;
// the data is the plain output's, and other readers find both.
TEST(WavWriter, TagsFollowTheDataInBothFormsAndOtherReadersFindThem) {
  ScratchFolder folder;
  const std::int64_t frames = 50;
  const Bytes block = PackedBlock(frames);
  const Bytes info = InfoChunk({{"TITLE", "Song (filtered, Quenlow)"}, {"ARTIST", "Band"}});
  struct Case {
    const char* name;
    std::uint64_t riffSizeLimit;
    std::size_t headerSize;
    int format;
  };
  for (const Case c : {Case{"plain.wav", kMaxRiffSize, 44, SF_FORMAT_WAV}, Case{"long.wav", 335, 80, SF_FORMAT_RF64}}) {
    const std::string path = folder.Path(c.name);
    OutputWavWriter writer(path, 2, 176400, frames, c.riffSizeLimit, info);
    writer.Append(block.data(), block.size());
    ASSERT_TRUE(writer.Finish().ok) << c.name;
    const Bytes file = ReadWholeFile(path);
    ASSERT_EQ(file.size(), c.headerSize + block.size() + info.size()) << c.name;
    EXPECT_TRUE(std::equal(block.begin(), block.end(), file.begin() + static_cast<std::ptrdiff_t>(c.headerSize)))
        << c.name;
    EXPECT_TRUE(std::equal(info.begin(), info.end(), file.end() - static_cast<std::ptrdiff_t>(info.size())));
    const std::uint64_t riffSize = c.headerSize == 44 ? U32At(file, 4) : U64At(file, 20);
    EXPECT_EQ(riffSize, file.size() - 8) << c.name;
    ExpectReadableBySndfile(path, c.format, 176400, frames);
    SF_INFO sfInfo{};
    SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &sfInfo);
    ASSERT_NE(sound, nullptr);
    const char* title = sf_get_string(sound, SF_STR_TITLE);
    EXPECT_STREQ(title != nullptr ? title : "", "Song (filtered, Quenlow)") << c.name;
    sf_close(sound);
  }
  // sox, where it is installed, reads the tagged file to the same samples.
  if (std::system("command -v sox >/dev/null 2>&1") == 0) {
    const std::string command = "sox '" + folder.Path("plain.wav") + "' -t raw '" + folder.Path("plain.raw") + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(ReadWholeFile(folder.Path("plain.raw")) == Bytes(block.begin(), block.end()));
  }
}

TEST(WavWriter, ReportsAFolderThatCannotHoldTheFileAndLeavesNothing) {
  ScratchFolder folder;
  const std::string plainFile = folder.Write("plain", Bytes{1, 2, 3});
  const std::filesystem::path subfolder = folder.Path("sub");
  std::filesystem::create_directory(subfolder);
  const std::pair<std::string, std::string> cases[] = {
      {folder.Path("missing/out.wav"), "No such file or directory"},
      {plainFile + "/out.wav", "Not a directory"},
      {subfolder.string(), "Is a directory"},
  };
  for (const auto& [path, reason] : cases) {
    const WriteResult result = WriteWhole(path, 2, 44100, 0, nullptr);
    EXPECT_FALSE(result.ok) << path;
    EXPECT_EQ(result.name, path);
    EXPECT_EQ(SystemReason(result), reason) << path;
  }
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"plain", "sub"}));
  EXPECT_TRUE(std::filesystem::is_empty(subfolder));
  EXPECT_EQ(ReadWholeFile(plainFile), (Bytes{1, 2, 3}));
}

TEST(WavWriter, ReportsAReadOnlyFolder) {
  // Permission bits do not stop the superuser.
  if (geteuid() == 0) GTEST_SKIP() << "running as root";
  ScratchFolder folder;
  std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const WriteResult result = WriteWhole(folder.Path("out.wav"), 2, 44100, 0, nullptr);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(SystemReason(result), "Permission denied");
}

TEST(WavWriter, KeepsTheOldFileWhenAFileSizeLimitStopsTheWriteMidway) {
  // The smaller block fails while the write buffer is flushed, the larger one
  // while it goes to the file straight from the caller's memory.
  for (const std::int64_t frames : {30000, 300000}) {
    ScratchFolder folder;
    const std::string path = folder.Write("out.wav", Bytes(1000, 0x5A));
    const Bytes block = PackedBlock(frames);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{100000, 100000};
      setrlimit(RLIMIT_FSIZE, &limit);
      const WriteResult result = WriteWhole(path, 2, 44100, frames, block.data());
      _exit(result.ok ? 1 : result.name == path && SystemReason(result) == "File too large" ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << frames << " frames; 1: reported success, 2: wrong reason";
    EXPECT_EQ(ReadWholeFile(path), Bytes(1000, 0x5A));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.wav"});
  }
}

TEST(WavWriter, RefusesToCommitAFileWithTheWrongNumberOfSampleBytes) {
  ScratchFolder folder;
  const std::string path = folder.Write("out.wav", Bytes{7});
  const Bytes block = PackedBlock(3);
  {
    OutputWavWriter tooFew(path, 2, 176400, 3);
    tooFew.Append(block.data(), block.size() - 1);
    const WriteResult result = tooFew.Finish();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failure, WriteFailure::kTooFewBytes);
    EXPECT_EQ(result.given, 17u);
    EXPECT_EQ(result.expected, 18u);
    EXPECT_EQ(tooFew.Finish().failure, result.failure);
  }
  {
    OutputWavWriter tooMany(path, 2, 176400, 2);
    tooMany.Append(block.data(), block.size());
    tooMany.Append(block.data(), 1);
    EXPECT_FALSE(tooMany.Ok());
    const WriteResult result = tooMany.Finish();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.failure, WriteFailure::kTooManyBytes);
  }
  EXPECT_EQ(WriteWhole(path, 0, 44100, 1, block.data()).failure, WriteFailure::kFormatTooLarge);
  EXPECT_EQ(WriteWhole(path, 2, 44100, -1, block.data()).failure, WriteFailure::kFormatTooLarge);
  EXPECT_EQ(WriteWhole(path, 2, 44100, 1, nullptr).failure, WriteFailure::kTooFewBytes);
  EXPECT_EQ(ReadWholeFile(path), Bytes{7});
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.wav"});
}

// The two ways of making an output: a file with no name until it is
// complete, and a hidden temporary file where the file system has none.
struct OutputKind {
  const char* what;
  bool unnamed;
  std::size_t entriesWhileWriting;  // beside the old file
};
constexpr OutputKind kOutputKinds[] = {{"unnamed file", true, 0}, {"named temporary file", false, 1}};

struct UnnamedOutputsAllowed {
  explicit UnnamedOutputsAllowed(bool allowed) { AllowUnnamedOutputs(allowed); }
  ~UnnamedOutputsAllowed() { AllowUnnamedOutputs(true); }
};

TEST(WavWriter, RemovesAnUnfinishedTemporaryFile) {
  for (const OutputKind& kind : kOutputKinds) {
    SCOPED_TRACE(kind.what);
    const UnnamedOutputsAllowed allowed(kind.unnamed);
    ScratchFolder folder;
    {
      OutputWavWriter writer(folder.Path("out.wav"), 2, 176400, 1);
      const Bytes block = PackedBlock(1);
      writer.Append(block.data(), block.size());
      EXPECT_TRUE(writer.Complete().ok);
      EXPECT_EQ(folder.Entries().size(), kind.entriesWhileWriting);
    }
    EXPECT_TRUE(folder.Entries().empty());
  }
}

// A complete output replaces the old file in one step, and the old file's
// permission bits carry over: a user who made it read-only for others, or
// private, finds it so again. A new file gets the usual mode.
TEST(WavWriter, AReplacedFileKeepsItsPermissionBitsAndOnlyTheNewFileRemains) {
  const Bytes block = PackedBlock(5);
  const mode_t previous = umask(022);
  for (const OutputKind& kind : kOutputKinds) {
    const UnnamedOutputsAllowed allowed(kind.unnamed);
    for (const mode_t old : {0600, 0640, 0444, 0664, 0755}) {
      SCOPED_TRACE(std::string(kind.what) + ", old mode " + std::to_string(old));
      ScratchFolder folder;
      const std::string path = folder.Write("out.wav", Bytes(100, 1));
      ASSERT_EQ(chmod(path.c_str(), old), 0);
      ASSERT_TRUE(WriteWhole(path, 2, 44100, 5, block.data()).ok);
      struct stat status {};
      ASSERT_EQ(stat(path.c_str(), &status), 0);
      EXPECT_EQ(status.st_mode & 07777, old);
      EXPECT_EQ(ReadWholeFile(path).size(), 44u + 30);
      EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.wav"});
    }
    ScratchFolder folder;
    ASSERT_TRUE(WriteWhole(folder.Path("new.wav"), 2, 44100, 5, block.data()).ok);
    struct stat status {};
    ASSERT_EQ(stat(folder.Path("new.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u) << kind.what;
  }
  umask(previous);
}

TEST(WavWriter, NamesWhatStopsAnOutputFromBeingReplaced) {
  ScratchFolder folder;
  folder.Write("plain.wav", Bytes{1});
  std::filesystem::create_directory(folder.Path("folder.wav"));
  auto reason = [&](const std::string& name) { return CheckOutputsReplaceable({folder.Path(name)}, std::nullopt); };
  EXPECT_EQ(reason("absent.wav").reason, OutputRefusalReason::None);
  EXPECT_EQ(reason("plain.wav").reason, OutputRefusalReason::None);
  EXPECT_EQ(reason("folder.wav").reason, OutputRefusalReason::IsFolder);
  const OutputRefusal throughAFile = reason("plain.wav/x.wav");
  EXPECT_NE(throughAFile.reason, OutputRefusalReason::None);
  EXPECT_EQ(throughAFile.name, folder.Path("plain.wav/x.wav"));
}

}  // namespace
}  // namespace quenlow

namespace quenlow {
namespace {

// What a signal handler calls when the program is ended mid-write: the
// temporary file goes, the final name is never touched.
TEST(WavWriter, RemovesTheTemporaryFilesOfUnfinishedOutputsOnRequest) {
  for (const OutputKind& kind : kOutputKinds) {
    SCOPED_TRACE(kind.what);
    const UnnamedOutputsAllowed allowed(kind.unnamed);
    test::ScratchFolder folder;
    const test::Bytes old = {'o', 'l', 'd'};
    folder.Write("out.wav", old);
    {
      OutputWavWriter first(folder.Path("out.wav"), 2, 176400, 0);
      OutputWavWriter second(folder.Path("other.wav"), 2, 176400, 10);
      ASSERT_TRUE(first.Complete().ok);
      ASSERT_EQ(folder.Entries().size(), 1 + 2 * kind.entriesWhileWriting);
      RemoveUnfinishedOutputs();
      EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.wav"});
      // Once removed, a complete output is never put in place either.
      EXPECT_FALSE(first.PutInPlace().ok);
    }
    EXPECT_EQ(test::ReadWholeFile(folder.Path("out.wav")), old);
    // A finished file is forgotten: removing the unfinished ones leaves it.
    OutputWavWriter done(folder.Path("done.wav"), 2, 176400, 0);
    ASSERT_TRUE(done.Finish().ok);
    RemoveUnfinishedOutputs();
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"done.wav", "out.wav"}));
  }
}

}  // namespace
}  // namespace quenlow
