// The dialogue from start to the information block, typed and read back as
// a user at an 80x28 terminal would.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "e2e/pty_session.h"
#include "e2e/test_files.h"

namespace quenlow::e2e {
namespace {

using Key = PtySession::Key;

const std::string kNotFound = "            File not found.\\n Please enter a valid filename  ";
const std::string kPrompt = "   Wave file to process?";
const PtySession::Colors kTextColors{0, 15};
const PtySession::Colors kLabelColors{8, 15};

// The text followed by blanks up to 80 characters.
std::string Padded(std::string text) {
  std::size_t characters = 0;
  for (char byte : text) characters += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  if (characters < 80) text.append(80 - characters, ' ');
  return text;
}

class Dialogue : public ::testing::Test {
 protected:
  void StartAtPrompt() {
    ASSERT_FALSE(dir.Path().empty());
    ASSERT_TRUE(session.Start(dir.Path()));
    ASSERT_TRUE(session.WaitForText(8, kPrompt)) << session.Screen();
  }

  // The top row of the message box once it is drawn whole with `message`
  // inside; 0 if it never came.
  int WaitForBox(const std::string& message) {
    int top = 0;
    session.WaitUntil([&] {
      for (int row = 1; row + 5 <= 28; ++row) {
        if (session.Row(row).find("┌─ ERROR ─") != std::string::npos &&
            session.Row(row + 2).find("│ " + message + " │") != std::string::npos &&
            session.Row(row + 5).find("└") != std::string::npos) {
          return (top = row) > 0;
        }
      }
      return false;
    });
    return top;
  }

  bool WaitForFreshStartScreen() {
    return session.WaitUntil([&] {
      if (session.Row(8) != Padded(kPrompt)) return false;
      for (int row = 9; row <= 28; ++row) {
        if (session.Row(row) != Padded("")) return false;
      }
      return true;
    });
  }

  void Submit(const std::string& name) {
    session.Type(name);
    session.Press(Key::Enter);
  }

  void ExpectRejection(const std::string& message) {
    const int bellsBefore = session.BellCount();
    ASSERT_GT(WaitForBox(message), 0) << session.Screen();
    EXPECT_EQ(session.BellCount(), bellsBefore + 1);
    EXPECT_EQ(session.Row(8).substr(0, kPrompt.size()), kPrompt);  // still under the box
    session.Press(Key::Enter);
    EXPECT_TRUE(WaitForFreshStartScreen()) << session.Screen();
  }

  TempDir dir;
  PtySession session;
};

TEST_F(Dialogue, ShowsTheBannerAndThePromptInTheirColours) {
  StartAtPrompt();
  EXPECT_EQ(session.Row(1), Padded(""));
  EXPECT_EQ(session.Row(2), Padded("   Quenlow v1"));
  EXPECT_EQ(session.Row(3).substr(0, 3), "   ");
  EXPECT_EQ(session.Row(4), Padded("   Documentation: man quenlow"));  // what is installed
  EXPECT_EQ(session.CellColors(2, 4), kTextColors);
  EXPECT_EQ(session.CellColors(8, 4), kLabelColors);
  EXPECT_EQ(session.CellColors(28, 80).background, 15);
  EXPECT_TRUE(session.WaitUntil([&] { return session.Title() == "Quenlow"; }, 2s)) << session.Title();

  session.Type("some name.wav");
  ASSERT_TRUE(session.WaitForText(8, "some name.wav"));
  EXPECT_EQ(session.Row(8), Padded(kPrompt + "       some name.wav"));
  EXPECT_EQ(session.CellColors(8, 32), kTextColors);
  EXPECT_EQ(session.CellColors(8, 44), kTextColors);
}

TEST_F(Dialogue, RejectsAMissingFileWithABellAndTheBoxAndCreatesNothing) {
  StartAtPrompt();
  EXPECT_EQ(session.BellCount(), 0);
  Submit("missing.wav");
  ExpectRejection(kNotFound);
  EXPECT_FALSE(FileExistsAt(dir / "missing.wav"));

  Submit("");  // Enter on an empty line
  ExpectRejection(kNotFound);
}

TEST_F(Dialogue, RejectsAFileThatIsNotWaveAndADirectory) {
  ASSERT_TRUE(WriteFile(dir / "notes.txt", {'h', 'e', 'l', 'l', 'o', ' ', 't', 'h', 'e', 'r', 'e', '!'}));
  ASSERT_TRUE(WriteFile(dir / "empty.wav", {}));
  StartAtPrompt();
  Submit("notes.txt");
  ExpectRejection(" This is not a Wave file  ");
  Submit("empty.wav");
  ExpectRejection(" This is not a Wave file  ");
  Submit(".");
  ExpectRejection(kNotFound);
}

TEST_F(Dialogue, ShowsTheFileDataOfA44100HzFile) {
  ASSERT_TRUE(WriteFile(dir / "take.wav", SilentWav(44100, 441000)));
  StartAtPrompt();
  Submit("take.wav");
  ASSERT_TRUE(session.WaitForText(16, "seconds")) << session.Screen();
  const std::string indent(31, ' ');
  EXPECT_EQ(session.Row(11), Padded(indent + "FILE DATA"));
  EXPECT_EQ(session.Row(13), Padded(indent + "Channels     2"));
  EXPECT_EQ(session.Row(14), Padded(indent + "Sample rate  44100 Hz"));
  EXPECT_EQ(session.Row(15), Padded(indent + "Length       441000 samples"));
  EXPECT_EQ(session.Row(16), Padded(indent + "Duration     10 seconds"));
  EXPECT_EQ(session.CellColors(11, 32), kTextColors);
  EXPECT_EQ(session.CellColors(15, 45), kLabelColors);
  EXPECT_EQ(session.BellCount(), 0);
}

TEST_F(Dialogue, RoundsA48000HzDurationToTwoPlaces) {
  ASSERT_TRUE(WriteFile(dir / "take48.wav", SilentWav(48000, 441000)));
  StartAtPrompt();
  Submit("take48.wav");
  ASSERT_TRUE(session.WaitForText(16, "seconds")) << session.Screen();
  EXPECT_EQ(session.Row(14), Padded(std::string(31, ' ') + "Sample rate  48000 Hz"));
  EXPECT_EQ(session.Row(16), Padded(std::string(31, ' ') + "Duration     9.19 seconds"));
}

TEST_F(Dialogue, WrapsALongNameAndMovesTheBlockDown) {
  const std::string name = std::string(56, 'n') + ".wav";
  ASSERT_TRUE(WriteFile(dir / name, SilentWav(44100, 24000)));
  StartAtPrompt();
  Submit(name);
  ASSERT_TRUE(session.WaitForText(17, "seconds")) << session.Screen();
  EXPECT_EQ(session.Text(8, 32, 49), name.substr(0, 49));
  EXPECT_EQ(session.Row(9), Padded(name.substr(49)));
  EXPECT_EQ(session.Row(12), Padded(std::string(31, ' ') + "FILE DATA"));
}

TEST_F(Dialogue, LeavesNoTraceOfEditingAndSpecialKeys) {
  StartAtPrompt();
  session.Type("ax");
  session.Press(Key::Backspace);
  session.Press(Key::Tab);
  session.Press(Key::Up);
  session.Press(Key::F1);
  session.SendRaw("\x1b" "b");  // Alt+b
  session.Press(Key::Escape);
  session.Pump(150ms);           // an Escape alone, as a person presses it
  session.Type("é");
  ASSERT_TRUE(session.WaitForText(8, "aé"));
  EXPECT_EQ(session.Row(8), Padded(kPrompt + "       aé"));
}

TEST_F(Dialogue, AsksForALargerTerminalAndCarriesOn) {
  StartAtPrompt();
  session.Type("abc");
  ASSERT_TRUE(session.WaitForText(8, "abc"));
  session.Resize(20, 60);
  ASSERT_TRUE(session.WaitForText(1, "at least 80 columns")) << session.Screen();
  session.Resize(28, 80);
  ASSERT_TRUE(session.WaitForText(8, kPrompt + "       abc")) << session.Screen();
  EXPECT_EQ(session.Row(2), Padded("   Quenlow v1"));
  session.Type("d");
  EXPECT_TRUE(session.WaitForText(8, "abcd"));
}

// Ended by a signal, the program gives the terminal back (the shell's
// screen, a visible cursor) and exits with the status a shell expects.
TEST_F(Dialogue, EndsOnCtrlCWithTheInterruptStatus) {
  StartAtPrompt();
  ASSERT_TRUE(session.OnAlternateScreen());
  session.SendRaw("\x03");
  EXPECT_EQ(session.WaitForExit(), 130);
  EXPECT_FALSE(session.OnAlternateScreen());
  EXPECT_TRUE(session.CursorVisible());
}

TEST(Signals, ATerminationRequestOrAHangUpEndsTheProgramAndGivesTheTerminalBack) {
  for (const auto& [signalNumber, status] : {std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
    TempDir dir;
    PtySession session;
    ASSERT_TRUE(session.Start(dir.Path()));
    ASSERT_TRUE(session.WaitForText(8, kPrompt));
    session.Signal(signalNumber);
    EXPECT_EQ(session.WaitForExit(), status);
    EXPECT_FALSE(session.OnAlternateScreen());
    EXPECT_TRUE(session.CursorVisible());
  }
}

// A script started in the background hands its programs an ignored Ctrl+C;
// an interactive program must still stop on it.
TEST(Signals, CtrlCEndsTheProgramEvenWhenItStartedIgnored) {
  TempDir dir;
  const std::string script = dir / "start-ignoring-ctrl-c";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\ntrap '' INT\nexec '" << QUENLOW_BINARY << "'\n";
  }
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  PtySession session;
  session.SetProgram(script);
  ASSERT_TRUE(session.Start(dir.Path()));
  ASSERT_TRUE(session.WaitForText(8, kPrompt)) << session.Screen();
  session.SendRaw("\x03");
  EXPECT_EQ(session.WaitForExit(), 130);
}

TEST(NoTerminal, ExitsWithStatus2AndOneLineWithoutEscapeCodes) {
  TempDir dir;
  const std::string command = std::string("'") + QUENLOW_BINARY + "' </dev/null >'" + (dir / "out") +
                              "' 2>'" + (dir / "err") + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  std::ifstream out(dir / "out");
  std::ifstream err(dir / "err");
  std::stringstream outText, errText;
  outText << out.rdbuf();
  errText << err.rdbuf();
  EXPECT_EQ(outText.str(), "");
  const std::string message = errText.str();
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
  EXPECT_EQ(message.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace quenlow::e2e
