// quenlow-batch as a script or a user at a terminal meets it: a folder of
// mixed files processed by the real program, its outputs compared byte for
// byte with the dialogue's job.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "job/job.h"
#include "batch/batch_inputs.h"
#include "batch/batch_progress.h"
#include "batch/batch_report.h"
#include "e2e/pty_session.h"
#include "support/first_difference.h"
#include "support/recording.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Bytes;
using test::ReadWholeFile;
using test::ScratchFolder;

const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

// A chirp on the left, a square wave on the right, near full scale.
std::vector<std::int16_t> Music(int frames) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < frames; ++i) {
    samples.push_back(static_cast<std::int16_t>(std::lround(30000 * std::sin(1e-5 * i * i))));
    samples.push_back(static_cast<std::int16_t>((i / 37) % 2 ? 32767 - i % 3000 : -32768 + i % 3000));
  }
  return samples;
}

// A file in another format made by libsndfile from the same samples.
void WriteEncoded(const std::string& path, int format, int channels, const std::vector<std::int16_t>& samples) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const auto frames = static_cast<sf_count_t>(samples.size()) / channels;
  EXPECT_EQ(sf_writef_short(file, samples.data(), frames), frames);
  sf_close(file);
}

struct BatchRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs quenlow-batch in `folder` with stdout and stderr going to files, as
// in a script.
BatchRun RunBatch(const std::string& folder, std::vector<std::string> arguments) {
  const ScratchFolder streams;
  const std::string out = streams.Path("out"), err = streams.Path("err");
  std::string program = QUENLOW_BATCH_BINARY;
  std::vector<char*> argv = {program.data()};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0 || !std::freopen(out.c_str(), "w", stdout) ||
        !std::freopen(err.c_str(), "w", stderr)) {
      _exit(126);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return BatchRun{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadText(out), ReadText(err)};
}

// Each JSON line's result and reason (null or the text), by input.
std::map<std::string, std::string> Results(const std::string& json) {
  std::map<std::string, std::string> results;
  std::size_t start = 0;
  for (std::size_t end; (end = json.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = json.substr(start, end - start);
    auto field = [&](const std::string& name) {
      const std::size_t at = line.find("\"" + name + "\":");
      if (at == std::string::npos) return std::string("?");
      const std::size_t value = at + name.size() + 3;
      if (line.compare(value, 4, "null") == 0) return std::string("null");
      return line.substr(value + 1, line.find('"', value + 1) - value - 1);
    };
    results[field("input")] = field("result") + ": " + field("reason");
  }
  return results;
}

// The dialogue's job on a copy of the recording: the bytes every batch
// output of these samples must equal.
struct DialogueOutputs {
  Bytes unfiltered;
  Bytes filtered;
};

DialogueOutputs DialogueJob(const std::vector<std::int16_t>& samples) {
  const ScratchFolder folder;
  const test::Recording recording = test::WriteRecording(folder, "take.wav", samples);
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  EXPECT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, options));
  return {ReadWholeFile(folder.Path("take QLW unfiltered.wav")), ReadWholeFile(folder.Path("take QLW filtered.wav"))};
}

// Every entry below the folder, relative, sorted; hidden ones included.
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) entries.push_back(fs::relative(entry.path(), folder).string());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// An album folder as listeners have them: the music in WAV and FLAC (and an
// AIFF copy), beside files the program must refuse with their reasons.
class MixedAlbum : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(album.Path("CD2"));
    test::WriteRecording(album, "01 good.wav", music);
    WriteEncoded(album.Path("CD2/flac copy.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, music);
    WriteEncoded(album.Path("CD2/aiff copy.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, music);
    WriteEncoded(album.Path("CD2/deep.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, music);
    test::HeaderFigures deep;
    deep.bitsPerSample = 24;
    deep.dataSize = 6 * 100;
    album.Write("02 deep.wav", test::Join({test::CanonicalHeader(deep), Bytes(600, 7)}));
    test::HeaderFigures mono;
    mono.channelField = 1;
    mono.dataSize = 200;
    album.Write("03 mono.wav", test::Join({test::CanonicalHeader(mono), Bytes(200, 7)}));
    album.Write("04 notes.wav", Bytes{'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '\n'});
    album.Write("cover.jpg", Bytes(100, 0xFF));  // not audio: passed over
    album.Write("._01 good.wav", Bytes(100, 0));  // a hidden companion: passed over
  }

  void ExpectDialogueBytes(const std::string& unfiltered, const std::string& filtered) {
    ASSERT_FALSE(expected.unfiltered.empty() || expected.filtered.empty());
    EXPECT_EQ(test::FirstDifference(ReadWholeFile(unfiltered), expected.unfiltered, 44), "") << unfiltered;
    EXPECT_EQ(test::FirstDifference(ReadWholeFile(filtered), expected.filtered, 44), "") << filtered;
  }

  ScratchFolder album;
  const std::vector<std::int16_t> music = Music(30000);
  const DialogueOutputs expected = DialogueJob(music);
};

TEST_F(MixedAlbum, EveryGoodFileGivesTheDialoguesBytesAndEveryOtherIsRefusedWithItsReason) {
  const BatchRun run = RunBatch(album.path(), {"-r", "--json", "--filter", kSuppliedFilter, "."});
  EXPECT_EQ(run.status, 1) << run.err;

  ExpectDialogueBytes(album.Path("01 good QLW unfiltered.wav"), album.Path("01 good QLW filtered.wav"));
  // Decoded from FLAC or big-endian AIFF, the same samples give the same bytes.
  ExpectDialogueBytes(album.Path("CD2/flac copy QLW unfiltered.wav"), album.Path("CD2/flac copy QLW filtered.wav"));
  ExpectDialogueBytes(album.Path("CD2/aiff copy QLW unfiltered.wav"), album.Path("CD2/aiff copy QLW filtered.wav"));

  const std::map<std::string, std::string> expectedResults = {
      {"./01 good.wav", "done: null"},
      {"./02 deep.wav", "rejected: This is not a 16-bit file"},
      {"./03 mono.wav", "rejected: This is not a stereo file"},
      {"./04 notes.wav", "rejected: This is not a Wave file"},
      {"./CD2/aiff copy.aiff", "done: null"},
      {"./CD2/deep.flac", "rejected: This is not a 16-bit file (Signed 24 bit PCM)"},
      {"./CD2/flac copy.flac", "done: null"},
  };
  EXPECT_EQ(Results(run.out), expectedResults) << run.out;
  // In name order, one plain line each when stderr is not a terminal.
  EXPECT_NE(run.err.find("[1/7] ./01 good.wav: done"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("[4/7] ./04 notes.wav: rejected: This is not a Wave file\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("7 files: 3 done, 0 skipped, 4 rejected, 0 failed"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos);

  // Nothing but the six outputs was added: no temporary file, nothing for the
  // refused files.
  EXPECT_EQ(Tree(album.path()).size(), 9u + 6u);
}

TEST_F(MixedAlbum, UnderAnOutputFolderSubfoldersAreMirroredAndOnlyTheOutputAskedForIsMade) {
  const ScratchFolder outputs;
  const BatchRun run = RunBatch(album.path(), {"-r", "-o", outputs.path(), "--only", "filtered", "--filter",
                                          kSuppliedFilter, "01 good.wav", "CD2"});
  EXPECT_EQ(run.status, 1) << run.err;  // CD2/deep.flac
  EXPECT_EQ(Tree(outputs.path()),
            (std::vector<std::string>{"01 good QLW filtered.wav", "aiff copy QLW filtered.wav",
                                      "flac copy QLW filtered.wav"}));
  EXPECT_EQ(test::FirstDifference(ReadWholeFile(outputs.Path("flac copy QLW filtered.wav")), expected.filtered, 44), "");
  EXPECT_EQ(test::FirstDifference(ReadWholeFile(outputs.Path("01 good QLW filtered.wav")), expected.filtered, 44), "");
}

TEST_F(MixedAlbum, SkipExistingResumesAStoppedAlbumWithWhatIsMissing) {
  const std::vector<std::string> good = {"--filter", kSuppliedFilter, "01 good.wav", "CD2/flac copy.flac"};
  std::vector<std::string> first = good;
  first.insert(first.begin(), "-q");
  ASSERT_EQ(RunBatch(album.path(), first).status, 0);
  // Stopped between the FLAC's two outputs; the WAV's are complete.
  fs::remove(album.Path("CD2/flac copy QLW filtered.wav"));
  const auto kept = fs::last_write_time(album.Path("01 good QLW filtered.wav"));

  std::vector<std::string> again = good;
  again.insert(again.begin(), {"-q", "--json", "--skip-existing"});
  const BatchRun run = RunBatch(album.path(), again);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");  // quiet: nothing went wrong
  EXPECT_EQ(Results(run.out), (std::map<std::string, std::string>{{"01 good.wav", "skipped: its outputs exist"},
                                                                  {"CD2/flac copy.flac", "done: null"}}));
  EXPECT_EQ(fs::last_write_time(album.Path("01 good QLW filtered.wav")), kept);
  ExpectDialogueBytes(album.Path("CD2/flac copy QLW unfiltered.wav"), album.Path("CD2/flac copy QLW filtered.wav"));
}

TEST_F(MixedAlbum, TwoInputsThatWouldWriteTheSameFilesDoNotOverwriteEachOther) {
  // The WAV and a FLAC of other music, side by side with the same name.
  WriteEncoded(album.Path("01 good.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, Music(100));
  const BatchRun run = RunBatch(album.path(), {"--json", "--filter", kSuppliedFilter, "01 good.wav", "01 good.flac"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Results(run.out)["01 good.flac"], "rejected: its outputs would replace those of 01 good.wav");
  ExpectDialogueBytes(album.Path("01 good QLW unfiltered.wav"), album.Path("01 good QLW filtered.wav"));
}

// What would stop an output is found before the file's work and told in
// the batch's own words; the old pair stays.
TEST_F(MixedAlbum, AnOutputThatCannotReplaceItsNameFailsThatFileWithItsReason) {
  const struct {
    const char* what;
    std::function<void()> block;
    std::string reason;
  } cases[] = {
      {"a link to the recording",
       [&] { fs::create_symlink("01 good.wav", album.Path("01 good QLW filtered.wav")); },
       "failed: 01 good QLW filtered.wav is the recording itself: nothing was written"},
      {"a folder", [&] { fs::create_directory(album.Path("01 good QLW filtered.wav")); },
       "failed: 01 good QLW filtered.wav is a folder: nothing was written"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(album.Path("01 good QLW filtered.wav"));
    album.Write("01 good QLW unfiltered.wav", Bytes{'o', 'l', 'd'});
    c.block();
    const BatchRun run = RunBatch(album.path(), {"--json", "--filter", kSuppliedFilter, "01 good.wav"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Results(run.out)["01 good.wav"], c.reason);
    EXPECT_EQ(ReadWholeFile(album.Path("01 good QLW unfiltered.wav")), (Bytes{'o', 'l', 'd'}));
  }
}

TEST(BatchCommandLine, StatusesForUsageAndForTheCoefficientFile) {
  const ScratchFolder folder;
  test::WriteRecording(folder, "a.wav", Music(100));
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string said;  // on stdout or stderr
  };
  const Case cases[] = {
      {{"--version"}, 0, "quenlow-batch 1"},
      {{"--help"}, 0, "--skip-existing"},
      {{}, 2, "FILE|FOLDER is required"},
      {{"--only", "both", "a.wav"}, 2, "--only"},
      {{"--filter", "missing.dat", "a.wav"}, 2, "missing.dat cannot be read"},
      {{"--filter", "missing.dat", "--allow-no-filter", "a.wav"}, 0, "dither only"},
      {{"--filter", "missing.dat", "--only", "unfiltered", "a.wav"}, 0, "1 done"},
      {{"no such.wav"}, 1, "no such.wav: rejected: cannot be opened"},
      {{"-o", "a.wav", "a.wav"}, 1, "a.wav: failed: the folder a.wav cannot be made"},
      {{"a QLW filtered.wav"}, 0, "skipped, an output of this program"},
  };
  for (const Case& c : cases) {
    for (const std::string& name : folder.Entries()) {
      if (name != "a.wav") fs::remove(folder.Path(name));
    }
    if (c.arguments.size() == 1 && c.arguments[0] == "a QLW filtered.wav") folder.Write(c.arguments[0], Bytes(10));
    const BatchRun run = RunBatch(folder.path(), c.arguments);
    const std::string said = run.out + run.err;
    EXPECT_EQ(run.status, c.status) << c.arguments.size() << " arguments: " << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    if (c.status == 2) {
      EXPECT_EQ(folder.Entries(), std::vector<std::string>{"a.wav"});
    }
  }
}

// At a terminal: the progress line is redrawn in place while the file is
// worked on, and Ctrl+C ends the batch without leaving a temporary file.
TEST(BatchAtATerminal, ShowsProgressAndCtrlCLeavesNoTemporaryFile) {
  const ScratchFolder folder;
  // Long enough (about 7 minutes of audio) to be stopped in the middle.
  const int frames = 20'000'000;
  test::HeaderFigures figures;
  figures.dataSize = 4 * frames;
  Bytes file = test::CanonicalHeader(figures);
  file.resize(44 + 4 * static_cast<std::size_t>(frames));
  for (std::size_t i = 44; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  folder.Write("long.wav", file);

  e2e::PtySession session;
  session.SetProgram(QUENLOW_BATCH_BINARY, {"--filter", kSuppliedFilter, "long.wav"});
  ASSERT_TRUE(session.Start(folder.path(), {}, 24, 100));
  // The bar has begun to fill: at least 5 per cent done.
  ASSERT_TRUE(session.WaitUntil([&] { return session.Row(1).find("[1/1] [#") == 0; }, 60s)) << session.Screen();
  const std::string line = session.Row(1);
  EXPECT_NE(line.find("% "), std::string::npos) << line;
  EXPECT_NE(line.find("x "), std::string::npos) << line;  // speed as a multiple of real time
  EXPECT_NE(line.find(" left, all "), std::string::npos) << line;
  EXPECT_NE(line.find("long.wav"), std::string::npos) << line;

  session.Signal(SIGINT);
  EXPECT_EQ(session.WaitForExit(30s), 128 + SIGINT);
  // The outputs go in place together at the end: nothing but the recording
  // is left, nothing partial, nothing hidden.
  EXPECT_EQ(Tree(folder.path()), std::vector<std::string>{"long.wav"});
}

// Installed, the program finds the installed coefficient file from any
// folder, and its manual page is there.
TEST(InstalledBatch, RunsFromAnyFolderWithTheInstalledFilter) {
  const ScratchFolder folder;
  const std::vector<std::int16_t> music = Music(3000);
  test::WriteRecording(folder, "a.wav", music);
  const std::string installed = QUENLOW_STAGE_DIR "/bin/quenlow-batch";
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.path().c_str()) != 0) _exit(126);
    execl(installed.c_str(), installed.c_str(), "-q", "a.wav", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::FirstDifference(ReadWholeFile(folder.Path("a QLW filtered.wav")), DialogueJob(music).filtered, 44), "");
  EXPECT_TRUE(fs::exists(QUENLOW_STAGE_DIR "/share/man/man1/quenlow-batch.1"));
}

// The job's progress, which the batch draws from: on the job's own thread,
// never going back, ending at all the frames of the outputs made.
TEST(JobProgress, CountsTheFramesOfTheOutputsMadeUpToTheirTotalOnTheCallingThread) {
  const ScratchFolder folder;
  const std::int64_t frames = 200'000;  // several pieces a pass
  const test::Recording recording = test::WriteRecording(folder, "a.wav", Music(static_cast<int>(frames)));
  struct Case {
    bool unfiltered;
    bool filtered;
    std::int64_t total;
  };
  for (const Case c : {Case{true, true, 8 * frames + 214}, Case{true, false, 4 * frames},
                       Case{false, true, 4 * frames + 214}}) {
    JobOptions options;
    options.filterFile = kSuppliedFilter;
    options.makeUnfiltered = c.unfiltered;
    options.makeFiltered = c.filtered;
    options.unfilteredName = folder.Path("u.wav");
    options.filteredName = folder.Path("f.wav");
    std::vector<std::pair<std::int64_t, std::int64_t>> told;
    bool elsewhere = false;
    const std::thread::id caller = std::this_thread::get_id();
    options.progress = [&](std::int64_t done, std::int64_t total) {
      told.emplace_back(done, total);
      elsewhere = elsewhere || std::this_thread::get_id() != caller;
    };
    ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, options));
    ASSERT_GE(told.size(), 3u);
    EXPECT_FALSE(elsewhere);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back(), std::make_pair(c.total, c.total));
    EXPECT_TRUE(std::all_of(told.begin(), told.end(), [&](const auto& t) { return t.second == c.total; }));
    EXPECT_EQ(fs::exists(folder.Path("u.wav")), c.unfiltered);
    EXPECT_EQ(fs::exists(folder.Path("f.wav")), c.filtered);
    fs::remove(folder.Path("u.wav"));
    fs::remove(folder.Path("f.wav"));
  }
}

// The names of the outputs, for the rules that differ from the dialogue's.
TEST(BatchOutputNames, WavLosesItsLastFourCharactersOtherFilesTheirExtension) {
  struct Case {
    BatchInput input;
    std::string outputFolder;
    std::string unfiltered;
  };
  const Case cases[] = {
      {{"album/01.wav", "", ""}, "", "album/01 QLW unfiltered.wav"},
      {{"album/01.WAV", "", ""}, "", "album/01 QLW unfiltered.wav"},
      {{"album/01.flac", "", ""}, "", "album/01 QLW unfiltered.wav"},
      {{"album/01.take2.aiff", "", ""}, "", "album/01.take2 QLW unfiltered.wav"},
      {{"my.album/track", "", ""}, "", "my.album/track QLW unfiltered.wav"},
      {{"album/CD2/05.flac", "CD2", ""}, "out", "out/CD2/05 QLW unfiltered.wav"},
      {{"/music/album/05.wav", "", ""}, "out/", "out/05 QLW unfiltered.wav"},
  };
  for (const Case& c : cases) {
    const OutputNames names = BatchOutputNames(c.input, c.outputFolder);
    EXPECT_EQ(names.unfiltered, c.unfiltered) << c.input.path;
    EXPECT_EQ(names.filtered, c.unfiltered.substr(0, c.unfiltered.size() - 19) + " QLW filtered.wav");
  }
}

TEST(BatchJson, FileNamesOfAnyBytesGiveValidJson) {
  FileReport report;
  report.input = "a \"b\"\\c\td\x01\xC3\xA9\xFF\xE2\x82.wav";
  report.result = FileResult::Rejected;
  report.reason = "This is not a Wave file";
  EXPECT_EQ(JsonLine(report),
            "{\"input\":\"a \\\"b\\\"\\\\c\\u0009d\\u0001\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.wav\","
            "\"outputs\":[],\"frames\":0,\"seconds\":0.000,\"result\":\"rejected\","
            "\"reason\":\"This is not a Wave file\",\"elapsed\":0.000}");
}

TEST_F(MixedAlbum, AFolderUnderAnOutputFolderHasItsSubfoldersMirrored) {
  const ScratchFolder outputs;
  const BatchRun run =
      RunBatch(album.path(), {"-r", "-o", outputs.path(), "--only", "filtered", "--filter", kSuppliedFilter, "."});
  EXPECT_EQ(run.status, 1) << run.err;  // the refused files
  EXPECT_EQ(Tree(outputs.path()),
            (std::vector<std::string>{"01 good QLW filtered.wav", "CD2/aiff copy QLW filtered.wav",
                                      "CD2/flac copy QLW filtered.wav"}));
}

// Only the filtered output is asked for and none exists yet: it alone is
// made, and the JSON lists it alone.
TEST(BatchOutputs, OnlyFilteredWithSkipExistingMakesAndListsTheFilteredOutputAlone) {
  const ScratchFolder folder;
  test::WriteRecording(folder, "a.wav", Music(1000));
  const BatchRun run =
      RunBatch(folder.path(), {"--only", "filtered", "--skip-existing", "--json", "--filter", kSuppliedFilter, "a.wav"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Tree(folder.path()), (std::vector<std::string>{"a QLW filtered.wav", "a.wav"}));
  EXPECT_NE(run.out.find("\"outputs\":[\"a QLW filtered.wav\"],"), std::string::npos) << run.out;
}

// The text file comes first and is refused; the recording beside it, whose
// outputs have the same names, is still done.
TEST(BatchOutputs, ARejectedInputLeavesItsOutputNamesToAGoodOne) {
  const ScratchFolder folder;
  folder.Write("a.wav", Bytes{'t', 'e', 'x', 't', '\n'});
  test::WriteRecording(folder, "a.WAV", Music(1000));
  const BatchRun run = RunBatch(folder.path(), {"--json", "--filter", kSuppliedFilter, "a.wav", "a.WAV"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Results(run.out), (std::map<std::string, std::string>{{"a.WAV", "done: null"},
                                                                  {"a.wav", "rejected: This is not a Wave file"}}));
  EXPECT_TRUE(fs::exists(folder.Path("a QLW filtered.wav")));
}

TEST(BatchCommandLine, AFolderWithNoAudioEndsWithStatus1AndMakesNothing) {
  const ScratchFolder folder;
  fs::create_directories(folder.Path("art"));
  folder.Write("art/cover.jpg", Bytes(100, 0xFF));
  const BatchRun run = RunBatch(folder.path(), {"-r", "--filter", kSuppliedFilter, "art"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "quenlow-batch: no audio files found\n");
  EXPECT_EQ(Tree(folder.path()), std::vector<std::string>{"art/cover.jpg"});
}

TEST(BatchJson, EveryControlByteOfANameIsEscaped) {
  for (int c = 0x01; c <= 0x7F; c = c == 0x1F ? 0x7F : c + 1) {
    FileReport report;
    report.input = std::string("a") + static_cast<char>(c) + "b";
    char escaped[16];
    std::snprintf(escaped, sizeof escaped, "\"a\\u%04xb\"", c);
    EXPECT_NE(JsonLine(report).find(escaped), std::string::npos) << JsonLine(report);
  }
}

TEST(BatchSummary, CountsEveryFileWhateverBecameOfIt) {
  struct Case {
    BatchTotals totals;
    std::string line;
  };
  const Case cases[] = {
      {{0, 1, 0, 0, 0}, "1 file: 0 done, 1 skipped, 0 rejected, 0 failed; 0.00 hours of audio in 2.0 s"},
      {{1, 2, 3, 4, 5400}, "10 files: 1 done, 2 skipped, 3 rejected, 4 failed; 1.50 hours of audio in 2.0 s"},
  };
  for (const Case& c : cases) EXPECT_EQ(SummaryLine(c.totals, 2.0), c.line);
}

TEST(BatchProgressClock, ShowsMinutesUnderAnHourThenHours) {
  const std::pair<double, std::string> cases[] = {
      {0, "0:00"},       {59.4, "0:59"},      {3599, "59:59"},   {3599.6, "1:00:00"},
      {3600, "1:00:00"}, {3661, "1:01:01"},   {-1, "-:--"},      {NAN, "-:--"},
      {INFINITY, "-:--"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(ClockText(seconds), text) << seconds;
}

// The live line drawn on a terminal of 40 columns: whatever the name's
// length, it stops short of the last column, where the terminal would wrap.
TEST(BatchProgressLine, NeverReachesTheTerminalsLastColumn) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int columns = 40;
  const winsize size{24, columns, 0, 0};
  ASSERT_EQ(ioctl(master, TIOCSWINSZ, &size), 0);
  std::FILE* terminal = std::fopen(ptsname(master), "w");
  ASSERT_NE(terminal, nullptr);
  for (const std::size_t length : {0, 1, 5, 6, 7, 30, 200}) {
    BatchProgress progress(BatchProgress::Mode::Live, terminal, 1, 10);
    progress.StartFile(1, std::string(length, 'n'), 10, true);
    std::string drawn(4096, '\0');
    const ssize_t got = read(master, drawn.data(), drawn.size());
    ASSERT_GT(got, 0);
    drawn.resize(static_cast<std::size_t>(got));
    // "\r", the line, then the erase to its end.
    const std::size_t end = drawn.find("\x1b[K");
    ASSERT_TRUE(drawn[0] == '\r' && end != std::string::npos) << drawn;
    EXPECT_LE(end - 1, static_cast<std::size_t>(columns - 1)) << drawn;
    if (length == 200) {
      EXPECT_EQ(end - 1, static_cast<std::size_t>(columns - 1)) << drawn;
    }
  }
  std::fclose(terminal);
  close(master);
}

}  // namespace
}  // namespace quenlow
