// The Windows program as a user meets it: quenlow.exe run by Wine, whose
// console draws into the pseudo-terminal, and read back through libvterm.
// Run by `make windows-test`, with QUENLOW_WINDOWS_EXE naming the .exe.
//
// Where Wine's console is not Windows' (no window to size, no alternate
// screen, no sound), the check says so and is skipped; everything the user
// reads and every output byte is checked as on Linux.
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pty_session.h"
#include "e2e/test_files.h"
#include "support/sha256.h"

namespace quenlow::e2e {
namespace {

using Key = PtySession::Key;
using Bytes = std::vector<std::uint8_t>;

const std::string kWineRun = QUENLOW_SOURCE_DIR "/tools/wine-run.sh";
const std::string kPrompt = "   Wave file to process?";
const std::string kNotFound = "            File not found.\\n Please enter a valid filename  ";
const PtySession::Colors kTextColors{0, 15};
const PtySession::Colors kLabelColors{8, 15};

// Wine's first start in a fresh prefix takes several seconds.
constexpr auto kStartTimeout = 60s;

std::string WindowsProgram() {
  const char* exe = std::getenv("QUENLOW_WINDOWS_EXE");
  return exe != nullptr ? exe : "";
}

std::string Padded(std::string text) {
  std::size_t characters = 0;
  for (char byte : text) characters += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  if (characters < 80) text.append(80 - characters, ' ');
  return text;
}

// The same fixed recording as the Linux job test, so that the same digests
// hold: a chirp on the left, a decaying square wave on the right.
Bytes FixedRecording(int frames) {
  Bytes file = SilentWav(44100, static_cast<std::uint32_t>(frames));
  for (int i = 0; i < frames; ++i) {
    const auto left = static_cast<std::int16_t>(std::lround(30000 * std::sin(1e-5 * i * i)));
    const auto right = static_cast<std::int16_t>((i / 37) % 2 ? 32767 - i : -32768 + i);
    for (const auto& [offset, value] : {std::pair{0, left}, std::pair{2, right}}) {
      file[44 + 4 * i + offset] = static_cast<std::uint8_t>(value & 0xFF);
      file[45 + 4 * i + offset] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
  }
  return file;
}

std::string Digest(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
  test::Sha256 sha;
  sha.Update(bytes.data(), bytes.size());
  return sha.HexDigest();
}

bool TemporaryFileIn(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    if (entry.path().filename().string()[0] == '.') return true;
  }
  return false;
}

class WindowsDialogue : public ::testing::Test {
 protected:
  void SetUp() override {
    if (WindowsProgram().empty()) GTEST_SKIP() << "QUENLOW_WINDOWS_EXE is not set (make windows-test sets it)";
    ASSERT_FALSE(dir.Path().empty());
    session.SetProgram(kWineRun, {WindowsProgram()});
  }

  void StartAtPrompt() {
    ASSERT_TRUE(session.Start(dir.Path()));
    ASSERT_TRUE(session.WaitForText(8, kPrompt, kStartTimeout)) << session.Screen();
  }

  void Submit(const std::string& name) {
    session.Type(name);
    session.Press(Key::Enter);
  }

  bool WaitForBox(const std::string& message) {
    return session.WaitUntil([&] {
      for (int row = 1; row + 5 <= 28; ++row) {
        if (session.Row(row).find("┌─ ERROR ─") != std::string::npos &&
            session.Row(row + 2).find("│ " + message + " │") != std::string::npos) {
          return true;
        }
      }
      return false;
    });
  }

  TempDir dir;
  PtySession session;
};

TEST_F(WindowsDialogue, ShowsTheStartScreenInItsColours) {
  StartAtPrompt();
  EXPECT_EQ(session.Row(1), Padded(""));
  EXPECT_EQ(session.Row(2), Padded("   Quenlow v1"));
  EXPECT_EQ(session.Row(3).substr(0, 3), "   ");
  EXPECT_EQ(session.Row(4), Padded("   Documentation: README.txt"));  // beside the .exe in the archive
  EXPECT_EQ(session.Row(8), Padded(kPrompt));
  EXPECT_EQ(session.CellColors(2, 4), kTextColors);
  EXPECT_EQ(session.CellColors(8, 4), kLabelColors);
  EXPECT_EQ(session.CellColors(28, 80).background, 15);

  EXPECT_TRUE(session.WaitUntil([&] { return session.Title() == "Quenlow"; }, 2s)) << session.Title();
  session.Type("some name.wav");
  ASSERT_TRUE(session.WaitForText(8, "some name.wav")) << session.Screen();
  EXPECT_EQ(session.Row(8), Padded(kPrompt + "       some name.wav"));
  EXPECT_EQ(session.CellColors(8, 32), kTextColors);
}

// Keys reach the line input as the console decodes them, by key code:
// editing works and keys that type nothing leave no trace.
TEST_F(WindowsDialogue, LeavesNoTraceOfEditingAndSpecialKeys) {
  StartAtPrompt();
  session.Type("ax");
  session.Press(Key::Backspace);
  session.Press(Key::Tab);
  session.Press(Key::Up);
  session.Press(Key::F1);
  session.SendRaw("\x1b" "b");  // Alt+b
  session.Press(Key::Escape);
  session.Pump(150ms);
  session.Type("é");
  ASSERT_TRUE(session.WaitForText(8, "aé")) << session.Screen();
  EXPECT_EQ(session.Row(8), Padded(kPrompt + "       aé"));
}

TEST_F(WindowsDialogue, AsksForALargerWindowAndCarriesOn) {
  StartAtPrompt();
  session.Resize(20, 60);
  if (!session.WaitForText(1, "at least 80 columns", 2s)) {
    GTEST_SKIP() << "Wine's console in a terminal tells the program of no size change (on Windows the "
                    "console reports it and the request shows)";
  }
  session.Resize(28, 80);
  EXPECT_TRUE(session.WaitForText(8, kPrompt)) << session.Screen();
}

TEST_F(WindowsDialogue, RejectsAMissingFileWithTheBoxAndStartsAgain) {
  StartAtPrompt();
  Submit("missing.wav");
  ASSERT_TRUE(WaitForBox(kNotFound)) << session.Screen();
  const int bells = session.BellCount();
  EXPECT_EQ(session.Row(8).substr(0, kPrompt.size()), kPrompt);  // still under the box
  session.Press(Key::Enter);
  EXPECT_TRUE(session.WaitUntil([&] { return session.Row(8) == Padded(kPrompt) && session.Row(12) == Padded(""); }))
      << session.Screen();
  EXPECT_FALSE(FileExistsAt(dir / "missing.wav"));

  ASSERT_TRUE(WriteFile(dir / "notes.txt", {'h', 'e', 'l', 'l', 'o'}));
  Submit("notes.txt");
  EXPECT_TRUE(WaitForBox(" This is not a Wave file  ")) << session.Screen();
  if (bells == 0) {
    GTEST_SKIP() << "Wine's MessageBeep makes no sound and its console passes no BEL to the terminal "
                    "(Windows beeps; Windows Terminal gets the BEL)";
  }
  EXPECT_EQ(session.BellCount(), 2);
}

// The job gives the very bytes the Linux build gives (the digests of the
// Linux job test), with the coefficient file found beside quenlow.exe; the
// program waits for a key, which ends it with status 0.
TEST_F(WindowsDialogue, AJobWritesTheSameBytesAsOnLinuxAndEndsOnAKey) {
  // A name beyond ASCII: typed as UTF-16 into the console, opened and
  // written by its UTF-16 name.
  ASSERT_TRUE(WriteFile(dir / "täke1.wav", FixedRecording(500)));
  StartAtPrompt();
  Submit("täke1.wav");
  ASSERT_TRUE(session.WaitForText(16, "seconds")) << session.Screen();
  EXPECT_EQ(session.Row(13), Padded(std::string(31, ' ') + "Channels     2"));
  // This loud recording clips the filtered file: the note comes first, and
  // is closed like any box.
  ASSERT_TRUE(session.WaitUntil(
      [&] {
        const std::string screen = session.Screen();
        return screen.find("< OK >") != std::string::npos ||
               session.Row(27).rfind("   press any key to quit", 0) == 0;
      },
      60s))
      << session.Screen();
  if (session.Screen().find(" NOTE") != std::string::npos) {
    EXPECT_NE(session.Screen().find("The filtered file clips in"), std::string::npos) << session.Screen();
    session.Press(Key::Enter);
  }
  ASSERT_TRUE(session.WaitForText(27, "   press any key to quit", 60s)) << session.Screen();
  EXPECT_EQ(session.Row(20), Padded("   Working..."));
  EXPECT_EQ(session.Row(26).rfind("   Job finished in ", 0), 0u) << session.Row(26);
  EXPECT_EQ(session.CellColors(26, 4), kTextColors);
  EXPECT_EQ(session.CellColors(27, 4), kLabelColors);
  EXPECT_FALSE(session.WaitForExit(300ms).has_value()) << "ended before the key";

  session.Press(Key::Space);
  EXPECT_EQ(session.WaitForExit(10s), 0);
  // The console is given back: the title the console had, the cursor shown.
  // (Wine draws the program's own screen buffer on the terminal's main
  // screen, so the dialogue stays in view, where Windows shows the user's
  // buffer again.)
  EXPECT_NE(session.Title(), "Quenlow");
  EXPECT_TRUE(session.CursorVisible());
  EXPECT_EQ(Digest(dir / "täke1 QLW unfiltered.wav"), "157bc381b3aab00fe42b527198f2e3ca2741aae38499473d21bae6261b01f913");
  EXPECT_EQ(Digest(dir / "täke1 QLW filtered.wav"), "1d803f9f6990b8b8e67a4907519d70b2e3cb33d318e3e865643144793f608a31");
  EXPECT_FALSE(TemporaryFileIn(dir));
}

// An output that may not be replaced, a folder or a read-only file of its
// name, stops the job before any work: the box names it, nothing is
// written, and the exit status says 1.
TEST_F(WindowsDialogue, AnOutputThatMayNotBeReplacedStopsTheJob) {
  struct Case {
    std::string input, blocked, problem;
  };
  for (const Case& c : {Case{"a.wav", "a QLW unfiltered.wav", " is a folder"},
                        Case{"b.wav", "b QLW filtered.wav", " is write-protected"}}) {
    TempDir folder;
    PtySession run;
    run.SetProgram(kWineRun, {WindowsProgram()});
    ASSERT_TRUE(WriteFile(folder / c.input, FixedRecording(10)));
    if (c.problem == " is a folder") {
      std::filesystem::create_directory(folder / c.blocked);
    } else {
      ASSERT_TRUE(WriteFile(folder / c.blocked, {1, 2, 3}));
      std::filesystem::permissions(folder / c.blocked, std::filesystem::perms::owner_read);
    }
    ASSERT_TRUE(run.Start(folder.Path()));
    ASSERT_TRUE(run.WaitForText(8, kPrompt, kStartTimeout)) << run.Screen();
    run.Type(c.input);
    run.Press(Key::Enter);
    const std::string message = c.blocked + c.problem + ": nothing was written";
    ASSERT_TRUE(run.WaitUntil([&] { return run.Screen().find(message) != std::string::npos; }, 30s))
        << run.Screen();
    run.Press(Key::Enter);
    ASSERT_TRUE(run.WaitForText(27, "   press any key to quit", 30s)) << run.Screen();
    run.Press(Key::Enter);
    EXPECT_EQ(run.WaitForExit(10s), 1) << c.blocked;
    const std::string other = c.problem == " is a folder" ? "a QLW filtered.wav" : "b QLW unfiltered.wav";
    EXPECT_FALSE(FileExistsAt(folder / other)) << other;
    EXPECT_FALSE(TemporaryFileIn(folder));
  }
}

// Ctrl+C in the middle of the work ends the program at once, through the
// console's control handler, and leaves no temporary file.
TEST_F(WindowsDialogue, CtrlCDuringTheWorkLeavesNoTemporaryFile) {
  ASSERT_TRUE(WriteFile(dir / "long.wav", FixedRecording(4000000)));  // about 90 seconds
  StartAtPrompt();
  Submit("long.wav");
  ASSERT_TRUE(session.WaitForText(20, "   Working...", 30s)) << session.Screen();
  const auto giveUp = std::chrono::steady_clock::now() + 30s;
  while (!TemporaryFileIn(dir) && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(200us);
  ASSERT_TRUE(TemporaryFileIn(dir)) << "no output was being written";
  session.SendRaw("\x03");
  const std::optional<int> status = session.WaitForExit(30s);
  ASSERT_TRUE(status.has_value()) << session.Screen();
  // Windows' status for Ctrl+C, 0xC000013A, of which Wine passes the low byte.
  EXPECT_EQ(*status, 0x3A);
  EXPECT_FALSE(TemporaryFileIn(dir));
  EXPECT_FALSE(FileExistsAt(dir / "long QLW filtered.wav"));
}

// A name pasted with Explorer's "Copy as path", or dropped on the console
// window, comes in double quotes: the name inside them is found.
TEST_F(WindowsDialogue, FindsANameTypedInDoubleQuotes) {
  ASSERT_TRUE(WriteFile(dir / "my notes.txt", {'h', 'e', 'l', 'l', 'o'}));
  StartAtPrompt();
  Submit("\"my notes.txt\"");
  EXPECT_TRUE(WaitForBox(" This is not a Wave file  ")) << session.Screen();
  session.Press(Key::Enter);
  ASSERT_TRUE(session.WaitUntil([&] { return session.Row(8) == Padded(kPrompt); })) << session.Screen();
  Submit("\"other.txt\"");
  EXPECT_TRUE(WaitForBox(kNotFound)) << session.Screen();
}

// Killed outright mid-job, with no chance to clean up, the program leaves
// no temporary file: the files are marked for deletion while they are
// written, and the system removes them as it closes the dead program's
// handles. Both ways a Windows program dies at once are tried: End task
// (TerminateProcess, from a small Windows program that watches the folder,
// since taskkill would start too late under Wine) and its process vanishing.
std::string EndTaskProgram() {
  return (std::filesystem::path(WindowsProgram()).parent_path().parent_path() / "test-tools" / "end_task.exe").string();
}

class KilledMidJob : public WindowsDialogue, public ::testing::WithParamInterface<const char*> {};

TEST_P(KilledMidJob, LeavesNoTemporaryFile) {
  const bool endTask = std::string(GetParam()) == "end-task";
  ASSERT_TRUE(WriteFile(dir / "long.wav", FixedRecording(4000000)));
  StartAtPrompt();
  std::thread ender;
  int endStatus = -1;
  struct JoinAtEnd {
    std::thread& thread;
    ~JoinAtEnd() {
      if (thread.joinable()) thread.join();
    }
  } joinAtEnd{ender};
  if (endTask) {
    ASSERT_TRUE(FileExistsAt(EndTaskProgram())) << EndTaskProgram();
    // Past the instant between a file's creation and its mark.
    const std::string command =
        "cd '" + dir.Path() + "' && " + kWineRun + " '" + EndTaskProgram() + "' quenlow.exe 300 >/dev/null 2>&1";
    ender = std::thread([command, &endStatus] { endStatus = std::system(command.c_str()); });
    ASSERT_TRUE(session.WaitUntil([&] { return FileExistsAt(dir / "end_task.ready"); }, 60s));
  }
  Submit("long.wav");
  // The screen is read meanwhile: a console whose output is not taken holds
  // the program.
  ASSERT_TRUE(session.WaitUntil([&] { return TemporaryFileIn(dir); }, 60s)) << "no output was being written";
  if (!endTask) {
    session.Pump(300ms);
    session.Signal(SIGKILL);
  }
  ASSERT_TRUE(session.WaitForExit(60s).has_value());
  if (ender.joinable()) ender.join();
  if (endTask) {
    EXPECT_EQ(endStatus, 0) << "end_task.exe ended no quenlow.exe";
  }
  EXPECT_FALSE(FileExistsAt(dir / "long QLW unfiltered.wav")) << "the job ended before the kill";
  const auto closed = std::chrono::steady_clock::now() + 10s;
  while (TemporaryFileIn(dir) && std::chrono::steady_clock::now() < closed) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(TemporaryFileIn(dir));
}

INSTANTIATE_TEST_SUITE_P(EndTaskOrSigkill, KilledMidJob, ::testing::Values("end-task", "sigkill"),
                         [](const auto& info) { return std::string(info.param) == "end-task" ? "EndTask" : "Sigkill"; });

}  // namespace
}  // namespace quenlow::e2e
