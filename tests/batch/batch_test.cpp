// quenlow-batch as a script or a user at a terminal meets it: a folder of
// mixed files processed by the real program, its outputs compared byte for
// byte with the dialogue's job.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sndfile.h>
#include <fcntl.h>
#include <sys/stat.h>
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
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <thread>
#include <utility>
#include <vector>

#include "job/job.h"
#include "digest/sha256.h"
#include "flac/flac_tags.h"
#include "wav/recording_tags.h"
#include "batch/batch_inputs.h"
#include "batch/batch_progress.h"
#include "batch/batch_report.h"
#include "batch/terminal_text.h"
#include "version.h"
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

bool WaitFor(const std::function<bool()>& condition) {
  for (int tries = 0; tries < 600; ++tries) {
    if (condition()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
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
      {{"--version"}, 0, std::string("quenlow-batch ") + kVersion + "\n"},
      {{"-V"}, 0, std::string("quenlow-batch ") + kVersion + "\n"},
      {{"--help"}, 0, "make only the outputs that do not exist yet"},
      {{}, 2, "FILE|FOLDER is required"},
      {{"--only", "both", "a.wav"}, 2, "--only"},
      {{"--filter", "missing.dat", "a.wav"}, 2, "missing.dat cannot be read"},
      {{"--filter", "missing.dat", "--allow-no-filter", "a.wav"}, 0, "dither only"},
      {{"--filter", "missing.dat", "--only", "unfiltered", "a.wav"}, 0, "1 done"},
      {{"no such.wav"}, 1, "no such.wav: rejected: cannot be opened"},
      // An output folder that cannot be is found once, before any work.
      {{"-o", "a.wav", "a.wav", "a.wav"}, 2, "quenlow-batch: --output: a.wav is not a folder"},
      {{"-o", "", "a.wav"}, 2, "quenlow-batch: --output: the folder's name is empty"},
      {{"--bogus", "a.wav"}, 2, "quenlow-batch: The following argument was not expected: --bogus"},
      {{"a QLW filtered.wav"}, 0, "skipped, named as this program names its outputs, so taken for one: rename it"},
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

// About 7 minutes of noise-like audio: long enough to be stopped in the middle.
Bytes LongRecording() {
  const int frames = 20'000'000;
  test::HeaderFigures figures;
  figures.dataSize = 4 * frames;
  Bytes file = test::CanonicalHeader(figures);
  file.resize(44 + 4 * static_cast<std::size_t>(frames));
  for (std::size_t i = 44; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  return file;
}

// At a terminal: the progress line is redrawn in place while the file is
// worked on, and Ctrl+C ends the batch without leaving a temporary file.
TEST(BatchAtATerminal, ShowsProgressAndCtrlCLeavesNoTemporaryFile) {
  const ScratchFolder folder;
  folder.Write("long.wav", LongRecording());

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
  EXPECT_TRUE(fs::exists(QUENLOW_STAGE_DIR "/share/man/man1/quenlow-batch.1.gz"));
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
            "{\"input\":\"a \\\"b\\\"\\\\c\\u0009d\\u0001\xC3\xA9\\udcff\\udce2\\udc82.wav\","
            "\"outputs\":[],\"frames\":0,\"seconds\":0.000,\"result\":\"rejected\","
            "\"reason\":\"This is not a Wave file\",\"elapsed\":0.000,\"warnings\":[],"
            "\"clipped\":{\"unfiltered\":0,\"filtered\":0},\"peak_db\":null,\"filter\":null}");
}

// The escape of a byte that is not UTF-8 is undone without doubt: decoding
// the JSON string (\uXXXX to UTF-8, \udcXX back to the byte) gives every
// name back, whatever its bytes.
std::string DecodedJsonString(const std::string& json) {
  std::string bytes;
  for (std::size_t i = 1; i + 1 < json.size(); ++i) {
    if (json[i] != '\\') {
      bytes += json[i];
      continue;
    }
    const char kind = json[++i];
    if (kind != 'u') {
      bytes += kind;
      continue;
    }
    const unsigned code = static_cast<unsigned>(std::stoul(json.substr(i + 1, 4), nullptr, 16));
    i += 4;
    if (code >= 0xDC80 && code <= 0xDCFF) {
      bytes += static_cast<char>(code - 0xDC00);
    } else {
      bytes += static_cast<char>(code);  // the controls, all below 0x80
    }
  }
  return bytes;
}

TEST(BatchJson, UndecodableBytesInANameComeBackExactly) {
  const std::string names[] = {
      std::string("caf\xE9.wav"),                 // Latin-1
      std::string("\xC3\xA9t\xC3\xA9.wav"),       // UTF-8 stays as it is
      std::string("\xED\xB2\x80 surrogate.wav"),  // the escape's own code point, written out: not UTF-8
      std::string("\xF0\x9F\x8E\xB5\xF0\x9F.wav"),
      std::string("\xC0\xAF overlong \x7F\x1B.wav"),
      std::string("\xF5\x80\x80 \xF8\x88\x80\x80\x80 \xFF\xBF\xBF beyond U+10FFFF.wav"),
  };
  for (const std::string& name : names) {
    FileReport report;
    report.input = name;
    const std::string line = JsonLine(report);
    const std::size_t start = line.find(":\"") + 1;
    const std::string json = line.substr(start, line.find("\",\"outputs\"") + 1 - start);
    EXPECT_EQ(DecodedJsonString(json), name) << json;
    EXPECT_EQ(json.find("\xEF\xBF\xBD"), std::string::npos) << json;
    // Bytes no UTF-8 text holds never reach the JSON as they are.
    EXPECT_EQ(json.find_first_of("\xC0\xC1\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF"), std::string::npos) << json;
  }
}

// The coefficient files that give no filter: each would make every filtered
// output dither alone.
TEST(BatchFilter, AFileThatGivesNoFilterIsRefusedBeforeAnyWorkUnlessAllowed) {
  const ScratchFolder folder;
  test::WriteRecording(folder, "a.wav", Music(2000));
  test::WriteRecording(folder, "b.wav", Music(2000));
  std::string lineFeeds = ReadText(kSuppliedFilter);
  lineFeeds.erase(std::remove(lineFeeds.begin(), lineFeeds.end(), '\r'), lineFeeds.end());
  std::string nans;
  for (int k = 0; k < 215; ++k) nans += k == 2 ? "1e999\r\n" : "0\r\n";
  std::string zeros;
  for (int k = 0; k < 215; ++k) zeros += "0\r\n";
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> warnings;  // in order
  } cases[] = {
      {"empty.dat", "", {"empty.dat: all 215 taps are 0", "empty.dat holds only 0 of 215 numbers"}},
      {"lf.dat", lineFeeds, {"lf.dat has bare line feeds (LF without CR) for line ends: only 1 of 215 numbers"}},
      {"nonfinite.dat", nans, {"nonfinite.dat: tap 3 is not a finite number"}},
      {"zeros.dat", zeros, {"zeros.dat: all 215 taps are 0"}},
      {"junk.dat", std::string("\x89PNG\r\n\x1A\n\0\0\xFF", 12), {"junk.dat: all 215 taps are 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write(c.name, Bytes(c.text.begin(), c.text.end()));
    const BatchRun refused = RunBatch(folder.path(), {"--json", "--filter", c.name, "a.wav", "b.wav"});
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("no usable filter"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(folder.Path("a QLW filtered.wav")));

    const BatchRun allowed = RunBatch(folder.path(), {"--json", "--allow-no-filter", "--filter", c.name, "a.wav", "b.wav"});
    EXPECT_EQ(allowed.status, 0) << allowed.err;
    std::size_t after = 0;
    for (const std::string& warning : c.warnings) {
      // Once in the batch's lines, before the first file, in order; in the
      // JSON of every file.
      const std::size_t at = allowed.err.find("quenlow-batch: warning: " + warning);
      ASSERT_NE(at, std::string::npos) << allowed.err;
      EXPECT_GE(at, after) << allowed.err;
      after = at;
      EXPECT_EQ(allowed.err.find(warning, at + 25), std::string::npos) << allowed.err;
      EXPECT_LT(at, allowed.err.find("[1/2]")) << allowed.err;
      const std::size_t firstJson = allowed.out.find("\"warnings\":[\"" + std::string(c.name));
      ASSERT_NE(firstJson, std::string::npos) << allowed.out;
      EXPECT_NE(allowed.out.find(warning, allowed.out.find('\n') + 1), std::string::npos) << allowed.out;
    }
    fs::remove(folder.Path("a QLW unfiltered.wav"));
    fs::remove(folder.Path("a QLW filtered.wav"));
    fs::remove(folder.Path("b QLW unfiltered.wav"));
    fs::remove(folder.Path("b QLW filtered.wav"));
  }
}

// Runs a shell line in the folder; the batch is $B.
int Shell(const std::string& folder, const std::string& line, std::string& err) {
  const ScratchFolder streams;
  const std::string command = "cd '" + folder + "' && B='" QUENLOW_BATCH_BINARY "' bash -c 'set -o pipefail; " + line +
                              "' 2> '" + streams.Path("err") + "'";
  const int status = std::system(command.c_str());
  err = ReadText(streams.Path("err"));
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BatchJson, AJsonLogThatCannotBeWrittenIsSaidOnceAndEndsWithStatusOne) {
  const ScratchFolder folder;
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) test::WriteRecording(folder, name, Music(30000));
  const std::string batch = "\"$B\" --json --filter " + kSuppliedFilter + " a.wav b.wav c.wav";
  const struct {
    const char* what;
    std::string line;
  } cases[] = {
      {"a full disk", batch + " > /dev/full"},
      {"a closed standard output", batch + " >&-"},
      {"a reader that goes away", batch + " | head -c 1 > /dev/null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string err;
    EXPECT_EQ(Shell(folder.path(), c.line, err), 1) << err;
    const std::size_t said = err.find("quenlow-batch: the JSON log cannot be written to standard output: ");
    ASSERT_NE(said, std::string::npos) << err;
    EXPECT_EQ(err.find("JSON log", said + 20), std::string::npos) << err;
    // The work itself goes on.
    EXPECT_NE(err.find("3 done"), std::string::npos) << err;
    EXPECT_TRUE(fs::exists(folder.Path("c QLW filtered.wav")));
  }
}

TEST(BatchLines, NamesWithControlCharactersStayOnOneLineAndNeverReachTheTerminal) {
  const ScratchFolder folder;
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"clear\x1b[2J\x1b[H.wav", "clear\\x1b[2J\\x1b[H.wav"},
      {"two\nlines.wav", "two\\nlines.wav"},
      {"tab\there.wav", "tab\\there.wav"},
      {"latin\xE9\x9B.wav", "latin\\xe9\\x9b.wav"},
      {"c1 \xC2\x9B" "31m.wav", "c1 \\xc2\\x9b31m.wav"},
  };
  std::vector<std::string> arguments = {"--filter", kSuppliedFilter};
  for (const auto& c : cases) {
    test::WriteRecording(folder, c.name, Music(100));
    arguments.push_back(c.name);
  }
  const BatchRun run = RunBatch(folder.path(), arguments);
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char control : {'\x1b', '\t', '\r'}) EXPECT_EQ(run.err.find(control), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 6) << run.err;  // a line a file, and the summary
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string line = "[" + std::to_string(i + 1) + "/5] " + cases[i].shown + ": done, ";
    EXPECT_NE(run.err.find(line), std::string::npos) << line << "\n" << run.err;
  }
}

TEST(BatchInputs, AFLACOfUnknownLengthIsCountedAndGivesTheDialoguesBytes) {
  const ScratchFolder folder;
  const std::vector<std::int16_t> music = Music(30000);
  WriteEncoded(folder.Path("piped.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, music);
  // STREAMINFO's 36-bit total of samples, as an encoder writing to a pipe
  // leaves it: 0.
  Bytes flac = ReadWholeFile(folder.Path("piped.flac"));
  ASSERT_EQ(std::string(flac.begin(), flac.begin() + 4), "fLaC");
  flac[21] &= 0xF0;
  std::fill(flac.begin() + 22, flac.begin() + 26, 0);
  folder.Write("piped.flac", flac);
  const BatchRun run = RunBatch(folder.path(), {"--json", "--filter", kSuppliedFilter, "piped.flac"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"frames\":30000,"), std::string::npos) << run.out;
  const DialogueOutputs expected = DialogueJob(music);
  EXPECT_TRUE(ReadWholeFile(folder.Path("piped QLW unfiltered.wav")) == expected.unfiltered);
  EXPECT_TRUE(ReadWholeFile(folder.Path("piped QLW filtered.wav")) == expected.filtered);
}

TEST(BatchInputs, ReasonsAreWordedForTheUser) {
  const ScratchFolder folder;
  WriteEncoded(folder.Path("mono.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, Music(1000));
  WriteEncoded(folder.Path("cut.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, Music(300000));
  Bytes cut = ReadWholeFile(folder.Path("cut.flac"));
  cut.resize(cut.size() / 2);
  folder.Write("cut.flac", cut);
  const BatchRun run = RunBatch(folder.path(), {"--json", "--filter", kSuppliedFilter, "mono.flac", "cut.flac"});
  EXPECT_EQ(run.status, 1);
  const std::map<std::string, std::string> results = Results(run.out);
  EXPECT_EQ(results.at("mono.flac"), "rejected: This is not a stereo file (1 channel)");
  const std::string& cutResult = results.at("cut.flac");
  EXPECT_EQ(cutResult.rfind("failed: cannot be decoded past frame ", 0), 0u) << cutResult;
  for (const char* never : {"No Error", "psf_", "cut.flac cannot"}) {
    EXPECT_EQ(cutResult.find(never), std::string::npos) << cutResult;
  }
}

// A name that leads to no file, or to something that is no file, gets the
// system's own reason (asked through the platform layer) on its line.
TEST(BatchInputs, ANamedInputThatIsNoFileGetsTheSystemsReason) {
  const ScratchFolder folder;
  ASSERT_EQ(mkfifo(folder.Path("pipe.wav").c_str(), 0600), 0);
  ASSERT_EQ(symlink("gone.wav", folder.Path("dangling.wav").c_str()), 0);
  const BatchRun run =
      RunBatch(folder.path(), {"--json", "--filter", kSuppliedFilter, "missing.wav", "pipe.wav", "dangling.wav"});
  EXPECT_EQ(run.status, 1);
  const std::map<std::string, std::string> results = Results(run.out);
  EXPECT_EQ(results.at("missing.wav"), "rejected: cannot be opened: No such file or directory");
  EXPECT_EQ(results.at("pipe.wav"), "rejected: is not a regular file");
  EXPECT_EQ(results.at("dangling.wav"), "rejected: cannot be opened: No such file or directory");
}

// A folder past the system's limit for a path is said, apart from the files.
TEST(BatchInputs, AFolderThatCannotBeListedIsSaidAndNotCountedAsAFile) {
  const ScratchFolder folder;
  test::WriteRecording(folder, "a.wav", Music(100));
  const std::string step(200, 'd');
  int fd = open(folder.path().c_str(), O_RDONLY | O_DIRECTORY);
  std::vector<int> chain;
  for (int level = 0; level < 24 && fd >= 0; ++level) {
    ASSERT_EQ(mkdirat(fd, step.c_str(), 0755), 0);
    chain.push_back(fd);
    fd = openat(fd, step.c_str(), O_RDONLY | O_DIRECTORY);
  }
  ASSERT_GE(fd, 0);
  close(fd);
  const BatchRun run = RunBatch(folder.path(), {"-r", "--json", "--filter", kSuppliedFilter, "."});
  // Removed from the deepest up, through the open folders.
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    unlinkat(*it, step.c_str(), AT_REMOVEDIR);
    close(*it);
  }
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("cannot be listed: File name too long"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("[1/1] ./a.wav: done"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("1 file: 1 done, 0 skipped, 0 rejected, 0 failed; "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("; 1 folder could not be listed"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("\"result\":\"unlisted\""), std::string::npos) << run.out;
}

// What the progress line may hold: whole characters, as many cells as fit.
TEST(BatchProgressText, LinesAreCutByCellsBetweenCharacters) {
  const struct {
    std::string text;
    std::size_t cells;
    std::string fits;
    std::size_t width;
  } cases[] = {
      {"abcdef", 4, "abcd", 6},
      {"\xC3\xA9\xC3\xA9\xC3\xA9", 2, "\xC3\xA9\xC3\xA9", 3},                 // two bytes, one cell each
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 5, "\xE6\x97\xA5\xE6\x9C\xAC", 6},  // wide: two cells each
      {"e\xCC\x81" "f", 1, "e\xCC\x81", 2},                                   // a combining accent takes none
      {"ab\xFF" "cd", 3, "ab\xFF", 5},                                        // a stray byte: one cell
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FitToCells(c.text, c.cells), c.fits) << c.text;
    EXPECT_EQ(CellWidth(c.text), c.width) << c.text;
  }
}

// Stopped, at a terminal or in a script: the line in progress is ended and
// the batch says what was done and how to go on.
TEST(BatchAtATerminal, AStopSaysWhatWasDoneAndHowToGoOn) {
  const ScratchFolder folder;
  folder.Write("long \xE6\x97\xA5\xE6\x9C\xAC.wav", LongRecording());
  test::WriteRecording(folder, "a short one.wav", Music(1000));

  e2e::PtySession session;
  session.SetProgram(QUENLOW_BATCH_BINARY, {"--filter", kSuppliedFilter, "."});
  ASSERT_TRUE(session.Start(folder.path(), {}, 24, 60));
  // The first file's line may take more than one row (a note that its
  // filtered file clips): the bar is on the row after it.
  int barRow = 0;
  auto barShown = [&] {
    for (int row = 2; row <= 6; ++row) {
      if (session.Row(row).find("[2/2] [#") == 0) barRow = row;
    }
    return barRow > 0;
  };
  ASSERT_TRUE(session.WaitUntil(barShown, 60s)) << session.Screen();
  session.Signal(SIGTERM);
  EXPECT_EQ(session.WaitForExit(30s), 128 + SIGTERM);
  const std::string screen = session.Screen();
  // The words wrap at the terminal's edge: read as one text.
  std::string words;
  for (int row = barRow + 1; row <= barRow + 6; ++row) words += session.Row(row);
  EXPECT_NE(screen.find("[1/2] ./a short one.wav: done"), std::string::npos) << screen;
  // The bar stays where it stopped, and the words follow on lines of their
  // own.
  EXPECT_EQ(session.Row(barRow).find("[2/2] [#"), 0u) << screen;
  EXPECT_EQ(words.find("Stopped during [2/2] ./long \xE6\x97\xA5\xE6\x9C\xAC.wav"), 0u) << screen;
  EXPECT_NE(words.find("1 done, 0 skipped, 0 rejected, 0 failed, 1 not done."), std::string::npos) << screen;
  EXPECT_NE(words.find("run the same command again with --skip-existing."), std::string::npos) << screen;

  // In a script, the same words after the files' lines.
  const ScratchFolder streams;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.path().c_str()) != 0 || !std::freopen(streams.Path("err").c_str(), "w", stderr)) _exit(126);
    execl(QUENLOW_BATCH_BINARY, QUENLOW_BATCH_BINARY, "--skip-existing", "--filter", kSuppliedFilter.c_str(), ".",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_TRUE(WaitFor([&] { return ReadText(streams.Path("err")).find("[1/2]") != std::string::npos; }));
  std::this_thread::sleep_for(500ms);
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGINT));
  const std::string err = ReadText(streams.Path("err"));
  EXPECT_NE(err.find("Stopped during [2/2]"), std::string::npos) << err;
  EXPECT_NE(err.find("To go on, run the same command again.\n"), std::string::npos) << err;
  EXPECT_EQ(Tree(folder.path()).size(), 4u);  // the two recordings and the short one's outputs
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

namespace quenlow {
namespace {

// A FLAC input with tags, as an album has them.
void WriteTaggedFlac(const std::string& path, const std::vector<std::int16_t>& samples) {
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = 2;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  sf_set_string(file, SF_STR_TITLE, "Song");
  sf_set_string(file, SF_STR_ARTIST, "Band");
  sf_set_string(file, SF_STR_ALBUM, "Album");
  sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size() / 2));
  sf_close(file);
}

// The samples of a 24-bit file as libsndfile decodes them, packed as the WAV
// outputs hold them.
Bytes DecodedAsPacked(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  EXPECT_NE(file, nullptr) << path;
  if (file == nullptr) return {};
  std::vector<int> samples(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_int(file, samples.data(), info.frames);
  sf_close(file);
  Bytes packed;
  for (int sample : samples) {
    const auto bits = static_cast<std::uint32_t>(sample) >> 8;
    for (int b = 0; b < 3; ++b) packed.push_back(static_cast<std::uint8_t>(bits >> (8 * b)));
  }
  return packed;
}

TEST(BatchFlacOutputs, DecodeToTheWavOutputsSamplesAndCarryTheTags) {
  const ScratchFolder album;
  const std::vector<std::int16_t> music = Music(3000);
  WriteTaggedFlac(album.Path("01 Song.flac"), music);
  const BatchRun run = RunBatch(album.path(), {"--format", "flac", "--json", "--filter", kSuppliedFilter, "01 Song.flac"});
  ASSERT_EQ(run.status, 0) << run.err;
  const DialogueOutputs expected = DialogueJob(music);
  for (const auto& [name, wav, title] :
       {std::tuple{"01 Song QLW unfiltered.flac", &expected.unfiltered, "Song (unfiltered, Quenlow)"},
        std::tuple{"01 Song QLW filtered.flac", &expected.filtered, "Song (filtered, Quenlow)"}}) {
    EXPECT_EQ(test::FirstDifference(DecodedAsPacked(album.Path(name)), Bytes(wav->begin() + 44, wav->end())), "")
        << name;
    const std::optional<RecordingTags> tags = ReadFlacTags(album.Path(name));
    ASSERT_TRUE(tags.has_value()) << name;
    EXPECT_EQ(TagValue(*tags, "TITLE"), title);
    EXPECT_EQ(TagValue(*tags, "ARTIST"), "Band");
    EXPECT_EQ(TagValue(*tags, "ALBUM"), "Album");
  }
  const std::optional<std::string> sha = Sha256OfFile(kSuppliedFilter);
  EXPECT_EQ(TagValue(*ReadFlacTags(album.Path("01 Song QLW filtered.flac")), "COMMENT"),
            "Quenlow reconstruction filter SHA-256 " + sha.value_or("?"));
  EXPECT_NE(run.out.find("\"filter\":{\"path\":\"" + kSuppliedFilter + "\",\"found\":\"--filter\",\"sha256\":\"" +
                         sha.value_or("?") + "\"}"),
            std::string::npos)
      << run.out;
}

// The JSON names the coefficient file as each lookup found it, and counts
// what clips: a loud square wave clips the filtered output, a quiet one
// nothing.
TEST(BatchJson, NamesTheFilterOfEachLookupAndCountsWhatClips) {
  const ScratchFolder folder;
  std::vector<std::int16_t> square(2 * 4000);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 2 / 50) % 2 ? 32700 : -32700;
  std::vector<std::int16_t> quiet(square.begin(), square.end());
  for (std::int16_t& sample : quiet) sample = static_cast<std::int16_t>(sample / 8);
  test::WriteRecording(folder, "loud.wav", square);
  test::WriteRecording(folder, "quiet.wav", quiet);
  const BatchRun given = RunBatch(folder.path(), {"--json", "--filter", kSuppliedFilter, "loud.wav", "quiet.wav"});
  ASSERT_EQ(given.status, 0) << given.err;
  const std::size_t quietLine = given.out.find("\"input\":\"quiet.wav\"");
  ASSERT_NE(quietLine, std::string::npos);
  const std::string loud = given.out.substr(0, quietLine);
  const std::string soft = given.out.substr(quietLine);
  EXPECT_EQ(loud.find("\"filtered\":0}"), std::string::npos) << loud;
  EXPECT_NE(loud.find("\"clipped\":{\"unfiltered\":0,\"filtered\":"), std::string::npos) << loud;
  EXPECT_EQ(loud.find("\"peak_db\":null"), std::string::npos) << loud;
  EXPECT_NE(soft.find("\"clipped\":{\"unfiltered\":0,\"filtered\":0}"), std::string::npos) << soft;
  EXPECT_NE(given.err.find("the filtered file clips in"), std::string::npos) << given.err;
  EXPECT_NE(given.err.find("1 filtered output clips"), std::string::npos) << given.err;

  // The current folder's recfilt.dat wins over the installed one.
  fs::copy_file(kSuppliedFilter, folder.Path("recfilt.dat"));
  const BatchRun here = RunBatch(folder.path(), {"--json", "--only", "filtered", "quiet.wav"});
  ASSERT_EQ(here.status, 0) << here.err;
  EXPECT_NE(here.out.find("\"path\":\"recfilt.dat\",\"found\":\"current folder\""), std::string::npos) << here.out;
  fs::remove(folder.Path("recfilt.dat"));
  const BatchRun installed = RunBatch(folder.path(), {"--json", "--only", "filtered", "quiet.wav"});
  ASSERT_EQ(installed.status, 0) << installed.err;
  EXPECT_NE(installed.out.find("\"found\":\"installed\""), std::string::npos) << installed.out;
}

}  // namespace
}  // namespace quenlow
