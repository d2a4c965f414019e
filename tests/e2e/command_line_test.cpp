// The dialogue's command line as a user meets it in a terminal: the help and
// the version on standard output, any other argument refused in one line on
// the error output with status 2, before the screen is ever taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/pty_session.h"
#include "e2e/test_files.h"
#include "version.h"

namespace quenlow::e2e {
namespace {

// Which of the program's outputs reaches the terminal; the other goes to
// /dev/null, so what shows is known to come from the one kept.
enum class Kept { StandardOutput, ErrorOutput };

void RunWith(PtySession& session, Kept kept, const std::vector<std::string>& arguments) {
  std::vector<std::string> shell{"-c", kept == Kept::StandardOutput ? "exec \"$0\" \"$@\" 2>/dev/null"
                                                                    : "exec \"$0\" \"$@\" >/dev/null",
                                 QUENLOW_BINARY};
  shell.insert(shell.end(), arguments.begin(), arguments.end());
  session.SetProgram("/bin/sh", shell);
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

TEST(CommandLine, AnswersHelpAndVersionAndRefusesAnyOtherArgument) {
  const std::string version = std::string("quenlow ") + kVersion;
  const std::string refusedName = "quenlow: 'song.wav': type the name at the prompt, or use quenlow-batch FILE";
  struct Case {
    std::vector<std::string> arguments;
    Kept kept;
    int status;
    std::string firstRow;
  };
  const Case cases[] = {
      {{"--help"}, Kept::StandardOutput, 0, "Usage: quenlow"},
      {{"-h"}, Kept::StandardOutput, 0, "Usage: quenlow"},
      {{"song.wav", "--help"}, Kept::StandardOutput, 0, "Usage: quenlow"},
      {{"--version"}, Kept::StandardOutput, 0, version},
      {{"-V"}, Kept::StandardOutput, 0, version},
      {{"song.wav"}, Kept::ErrorOutput, 2, refusedName},
      {{"song.wav", "other.wav"}, Kept::ErrorOutput, 2, refusedName},
      {{"--", "-V"}, Kept::ErrorOutput, 2, "quenlow: '-V': type the name at the prompt"},
      {{"-x"}, Kept::ErrorOutput, 2, "quenlow: unknown option '-x' (quenlow --help lists the options)"},
      {{"\x1b[2Jsong.wav"}, Kept::ErrorOutput, 2, "quenlow: '?[2Jsong.wav': type the name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "song.wav", SilentWav(44100, 100)));
    PtySession session;
    RunWith(session, c.kept, c.arguments);
    ASSERT_TRUE(session.Start(dir.Path()));
    EXPECT_EQ(session.WaitForExit(), c.status) << session.Screen();
    EXPECT_EQ(session.Row(1).substr(0, c.firstRow.size()), c.firstRow) << session.Screen();
    // Said in one line (the help aside), and the dialogue never started.
    if (c.status != 0 || c.firstRow == version) {
      EXPECT_EQ(session.Row(2).find_first_not_of(' '), std::string::npos) << session.Screen();
    }
    EXPECT_EQ(session.Screen().find("Quenlow v1"), std::string::npos) << session.Screen();
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"song.wav"});
  }
}

// The help ends by naming where the rest is told.
TEST(CommandLine, HelpNamesTheOptionsAndTheManualPage) {
  TempDir dir;
  PtySession session;
  RunWith(session, Kept::StandardOutput, {"--help"});
  ASSERT_TRUE(session.Start(dir.Path()));
  EXPECT_EQ(session.WaitForExit(), 0);
  const std::string screen = session.Screen();
  EXPECT_NE(screen.find("-h, --help"), std::string::npos) << screen;
  EXPECT_NE(screen.find("-V, --version"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Documentation: man quenlow"), std::string::npos) << screen;
}

}  // namespace
}  // namespace quenlow::e2e
