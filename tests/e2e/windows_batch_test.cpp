// quenlow-batch.exe as a Windows user runs it, under Wine: the same outputs,
// byte for byte, as the Linux quenlow-batch on the same folder; names beyond
// ASCII kept exact from the UTF-16 command line and from the folder's
// listing to the outputs and the JSON log; the WAV-only refusal and the
// exit statuses; Ctrl+C through the console's control handler. Run by `make
// windows-test` with the rest of e2e_windows (QUENLOW_WINDOWS_EXE names
// quenlow.exe; quenlow-batch.exe lies beside it).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pty_session.h"
#include "e2e/test_files.h"
#include "support/first_difference.h"

namespace quenlow::e2e {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

const std::string kWineRun = QUENLOW_SOURCE_DIR "/tools/wine-run.sh";

std::string BatchExe() {
  const char* exe = std::getenv("QUENLOW_WINDOWS_EXE");
  if (exe == nullptr) return "";
  return (fs::path(exe).parent_path() / "quenlow-batch.exe").string();
}

// A short recording whose every frame differs: a chirp on the left, a
// falling ramp on the right.
Bytes Recording(int frames, int seed) {
  Bytes file = SilentWav(44100, static_cast<std::uint32_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const auto left = static_cast<std::int16_t>(std::lround(28000 * std::sin(1e-5 * i * i + seed)));
    const auto right = static_cast<std::int16_t>(20000 - 37 * ((i * (seed + 3)) % 1000));
    for (const auto& [offset, value] : {std::pair{0, left}, std::pair{2, right}}) {
      file[44 + 4 * i + offset] = static_cast<std::uint8_t>(value & 0xFF);
      file[45 + 4 * i + offset] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
  }
  return file;
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes{std::istreambuf_iterator<char>(in), {}};
}

std::string ReadText(const std::string& path) {
  const Bytes bytes = ReadBytes(path);
  std::string text(bytes.begin(), bytes.end());
  // The Windows C library ends lines with CR LF.
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// Where the samples of an output start: after its data chunk's header.
std::size_t DataOffset(const Bytes& wav) {
  for (std::size_t at = 12; at + 8 <= wav.size();) {
    const std::uint32_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 | std::uint32_t{wav[at + 7]} << 24;
    if (std::equal(wav.begin() + static_cast<std::ptrdiff_t>(at), wav.begin() + static_cast<std::ptrdiff_t>(at + 4),
                   "data")) {
      return at + 8;
    }
    at += 8 + size + (size & 1);
  }
  return 0;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a program in `folder` with its output and errors in files (no
// console: what a script sees).
Outcome RunIn(const std::string& folder, const std::vector<std::string>& command) {
  std::string line = "cd " + Quoted(folder) + " &&";
  for (const std::string& word : command) line += " " + Quoted(word);
  const std::string out = folder + "/../run.out";
  const std::string err = folder + "/../run.err";
  line += " >" + Quoted(out) + " 2>" + Quoted(err) + " </dev/null";
  const int raw = std::system(line.c_str());
  Outcome run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadText(out);
  run.err = ReadText(err);
  return run;
}

// Every file under the folder, by its place in it.
std::set<std::string> Tree(const std::string& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), folder).string());
  }
  return files;
}

// The album both builds are given: a name beyond ASCII, a subfolder (beyond
// ASCII too) for -r, and a file that is no WAV.
void MakeAlbum(const std::string& folder) {
  fs::create_directories(folder + "/album/süb");
  ASSERT_TRUE(WriteFile(folder + "/album/täke1 ✓.wav", Recording(700, 1)));
  ASSERT_TRUE(WriteFile(folder + "/album/süb/b.wav", Recording(300, 2)));
  ASSERT_TRUE(WriteFile(folder + "/album/notes.flac", {'f', 'L', 'a', 'C', 0, 0, 0}));
}

class WindowsBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    if (BatchExe().empty()) GTEST_SKIP() << "QUENLOW_WINDOWS_EXE is not set (make windows-test sets it)";
    ASSERT_TRUE(fs::exists(BatchExe())) << BatchExe();
    fs::create_directories(dir / "linux");
    fs::create_directories(dir / "windows");
  }
  TempDir dir;
};

TEST_F(WindowsBatch, AFolderGivesLinuxsBytesAndTheNonWavFileIsRefusedWithStatus1) {
  MakeAlbum(dir / "linux");
  MakeAlbum(dir / "windows");
  const std::vector<std::string> arguments{"-r", "-o", "öut", "--json", "album"};
  std::vector<std::string> linuxCommand{QUENLOW_BATCH_BINARY};
  linuxCommand.insert(linuxCommand.end(), arguments.begin(), arguments.end());
  std::vector<std::string> windowsCommand{kWineRun, BatchExe()};
  windowsCommand.insert(windowsCommand.end(), arguments.begin(), arguments.end());
  const Outcome onLinux = RunIn(dir / "linux", linuxCommand);
  const Outcome onWindows = RunIn(dir / "windows", windowsCommand);

  // Both refuse the file that is no recording, and say so with status 1;
  // Windows in its own words.
  EXPECT_EQ(onLinux.status, 1) << onLinux.err;
  EXPECT_EQ(onWindows.status, 1) << onWindows.err;
  EXPECT_NE(onWindows.err.find("album/notes.flac: rejected: is not a WAV file: this build reads WAV files only"),
            std::string::npos)
      << onWindows.err;
  EXPECT_NE(onWindows.err.find("3 files: 2 done, 0 skipped, 1 rejected, 0 failed"), std::string::npos)
      << onWindows.err;
  // The names as listed from the folder, exact in the log.
  for (const std::string input : {"album/täke1 ✓.wav", "album/süb/b.wav"}) {
    EXPECT_NE(onWindows.out.find("\"input\":\"" + input + "\""), std::string::npos) << onWindows.out;
  }

  const std::set<std::string> made = Tree(dir / "linux/öut");
  ASSERT_EQ(made, (std::set<std::string>{"täke1 ✓ QLW unfiltered.wav", "täke1 ✓ QLW filtered.wav",
                                         "süb/b QLW unfiltered.wav", "süb/b QLW filtered.wav"}));
  EXPECT_EQ(Tree(dir / "windows/öut"), made);
  for (const std::string& output : made) {
    const Bytes expected = ReadBytes(dir / "linux/öut/" + output);
    const Bytes actual = ReadBytes(dir / "windows/öut/" + output);
    EXPECT_EQ(test::FirstDifference(actual, expected, DataOffset(expected)), "") << output;
  }
  // Nothing else was written beside the inputs, no temporary file left.
  EXPECT_EQ(Tree(dir / "windows/album"), Tree(dir / "linux/album"));
}

// A name typed on the command line reaches the program as UTF-16 and is
// opened, written beside and logged exactly; --format flac is refused as a
// usage error, since this build has no FLAC encoder.
TEST_F(WindowsBatch, ANameBeyondAsciiOnTheCommandLineRoundTripsAndFlacIsAUsageError) {
  const std::string folder = dir / "windows";
  ASSERT_TRUE(WriteFile(folder + "/Ærø 日本.wav", Recording(400, 3)));
  ASSERT_TRUE(WriteFile(dir / "linux/Ærø 日本.wav", Recording(400, 3)));
  const Outcome onLinux = RunIn(dir / "linux", {QUENLOW_BATCH_BINARY, "-q", "Ærø 日本.wav"});
  const Outcome run = RunIn(folder, {kWineRun, BatchExe(), "--json", "Ærø 日本.wav"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"input\":\"Ærø 日本.wav\""), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("Ærø 日本.wav: done"), std::string::npos) << run.err;
  ASSERT_EQ(onLinux.status, 0) << onLinux.err;
  for (const std::string output : {"Ærø 日本 QLW unfiltered.wav", "Ærø 日本 QLW filtered.wav"}) {
    const Bytes expected = ReadBytes(dir / "linux/" + output);
    ASSERT_FALSE(expected.empty()) << output;
    EXPECT_EQ(test::FirstDifference(ReadBytes(folder + "/" + output), expected, DataOffset(expected)), "") << output;
  }

  const Outcome flac = RunIn(folder, {kWineRun, BatchExe(), "--format", "flac", "Ærø 日本.wav"});
  EXPECT_EQ(flac.status, 2);
  EXPECT_EQ(flac.err, "quenlow-batch: --format flac is not available in this build: its outputs are WAV only\n");
}

// In the console: the live progress line, then Ctrl+C ends the batch through
// the console's control handler with Windows' status for it, says where it
// stopped, and leaves no temporary file.
TEST_F(WindowsBatch, CtrlCInTheConsoleSaysWhereItStoppedAndLeavesNoTemporaryFile) {
  const std::string folder = dir / "windows";
  ASSERT_TRUE(WriteFile(folder + "/long.wav", Recording(8000000, 4)));  // about 3 minutes
  PtySession session;
  session.SetProgram(kWineRun, {BatchExe(), "long.wav"});
  ASSERT_TRUE(session.Start(folder));
  auto temporary = [&] {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().filename().string()[0] == '.') return true;
    }
    return false;
  };
  ASSERT_TRUE(session.WaitUntil(temporary, 60s)) << session.Screen();
  ASSERT_TRUE(session.WaitUntil([&] { return session.Screen().find("[1/1] [") != std::string::npos; }, 30s))
      << session.Screen();
  session.SendRaw("\x03");
  const std::optional<int> status = session.WaitForExit(30s);
  ASSERT_TRUE(status.has_value()) << session.Screen();
  EXPECT_EQ(*status, 0x3A);  // the low byte of 0xC000013A, as Wine passes it
  EXPECT_NE(session.Screen().find("Stopped during [1/1] long.wav (its unfinished outputs were removed)"),
            std::string::npos)
      << session.Screen();
  // The files being written are marked for deletion: Windows removes them
  // as it closes the ended program's handles, which Wine's server does a
  // moment after the program is seen to end.
  const auto closed = std::chrono::steady_clock::now() + 10s;
  while (Tree(folder).size() > 1 && std::chrono::steady_clock::now() < closed) std::this_thread::sleep_for(50ms);
  EXPECT_EQ(Tree(folder), std::set<std::string>{"long.wav"});
}

}  // namespace
}  // namespace quenlow::e2e
