// The terminals a user may bring: small or large windows, types that cannot
// be used, wide and combining characters and bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "e2e/pty_session.h"
#include "e2e/test_files.h"

namespace quenlow::e2e {
namespace {

using Key = PtySession::Key;

const std::string kPrompt = "   Wave file to process?";
const std::string kRequest = "at least 80 columns";
const PtySession::Colors kTerminalDefault{-1, -1};

// A terminal too small shows the request from the start, takes no keys, and
// the dialogue appears as soon as it is large enough; in one larger than the
// dialogue the rest keeps the terminal's own colours.
TEST(TerminalSize, TooSmallAsksAtOnceUntilEnlargedLargerLeavesTheRestAlone) {
  struct Case {
    int rows, columns;
    bool tooSmall;
  };
  for (const Case& c : {Case{20, 60, true}, Case{20, 70, true}, Case{28, 79, true}, Case{27, 80, true},
                        Case{28, 80, false}, Case{30, 100, false}}) {
    SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.rows));
    TempDir dir;
    PtySession session;
    ASSERT_TRUE(session.Start(dir.Path(), {}, c.rows, c.columns));
    if (c.tooSmall) {
      ASSERT_TRUE(session.WaitForText(1, kRequest)) << session.Screen();
      EXPECT_EQ(session.CellColors(1, 1), kTerminalDefault);
      session.Type("lost");
      session.Pump(100ms);
      EXPECT_EQ(session.Screen().find("lost"), std::string::npos) << session.Screen();
      session.Resize(28, 80);
    }
    ASSERT_TRUE(session.WaitForText(8, kPrompt)) << session.Screen();
    EXPECT_EQ(session.Row(2).substr(0, 13), "   Quenlow v1");
    EXPECT_TRUE(session.WaitUntil([&] { return session.CellColors(28, 80).background == 15; }));
    if (c.columns > 80) {
      EXPECT_EQ(session.CellColors(1, 81), kTerminalDefault);
    }
    if (c.rows > 28) {
      EXPECT_EQ(session.CellColors(29, 1), kTerminalDefault);
    }
    session.Type("x");
    ASSERT_TRUE(session.WaitForText(8, kPrompt + "       x")) << session.Screen();
    EXPECT_EQ(session.Text(8, 32, 5), "x    ");
  }
}

// A terminal too small is asked to grow to at least the dialogue's size,
// keeping any dimension already larger: rows first, then columns.
TEST(TerminalSize, TheRequestToEnlargeTheWindowSendsRowsThenColumns) {
  struct Case {
    int rows, columns;
    std::string request;
  };
  for (const Case& c : {Case{20, 60, "\x1b[8;28;80t"}, Case{30, 60, "\x1b[8;30;80t"}, Case{20, 100, "\x1b[8;28;100t"}}) {
    SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.rows));
    TempDir dir;
    PtySession session;
    ASSERT_TRUE(session.Start(dir.Path(), {}, c.rows, c.columns));
    ASSERT_TRUE(session.WaitUntil([&] { return session.Output().find("\x1b[8;") != std::string::npos; }));
    const std::string& output = session.Output();
    const std::size_t at = output.find("\x1b[8;");
    EXPECT_EQ(output.substr(at + 1, output.find('t', at) - at), c.request.substr(1));
  }
}

// A terminal that cannot place the cursor is refused like an unknown one:
// one line on the error output, status 2, the screen never taken.
TEST(TerminalType, OneThatCannotBeUsedIsRefusedWithStatus2) {
  for (const auto& [term, message] :
       {std::pair{"dumb", "quenlow: cannot use the terminal type 'dumb': it cannot place the cursor"},
        std::pair{"no-such-terminal", "quenlow: cannot use the terminal type 'no-such-terminal'"}}) {
    SCOPED_TRACE(term);
    TempDir dir;
    PtySession session;
    ASSERT_TRUE(session.Start(dir.Path(), {std::string("TERM=") + term}));
    EXPECT_EQ(session.WaitForExit(), 2);
    EXPECT_EQ(session.Row(1).substr(0, std::string(message).size()), message) << session.Screen();
    EXPECT_FALSE(session.OnAlternateScreen());
  }
}

// The sequences that give the terminal back on Ctrl+C are written as the
// terminal reads them, without the pauses its description asks for.
TEST(TerminalType, CtrlCOnAVt100LeavesNoPaddingOnTheScreen) {
  TempDir dir;
  PtySession session;
  ASSERT_TRUE(session.Start(dir.Path(), {"TERM=vt100"}));
  ASSERT_TRUE(session.WaitForText(8, kPrompt)) << session.Screen();
  session.SendRaw("\x03");
  EXPECT_EQ(session.WaitForExit(), 130);
  EXPECT_EQ(session.Screen().find("$<"), std::string::npos) << session.Screen();
}

// Waits until `cells` cells of `row` from `column` read `text` with the
// cursor come to rest at `cursor`: the terminal may see the screen half drawn
// on the way.
::testing::AssertionResult Shows(PtySession& session, int row, int column, int cells, const std::string& text,
                                 std::pair<int, int> cursor) {
  if (session.WaitUntil([&] { return session.Text(row, column, cells) == text && session.Cursor() == cursor; }, 2s)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "row " << row << " reads '" << session.Text(row, column, cells)
                                       << "', cursor at " << session.Cursor().first << "," << session.Cursor().second
                                       << "\n" << session.Screen();
}

// Echoed as the terminal shows it, a wide character in two cells, a mark
// over its letter, a byte that is not UTF-8 as U+FFFD, with the cursor after
// it; and the file found by the name byte for byte as typed.
TEST(TypedName, IsEchoedAsTheTerminalShowsItAndNamesItsFile) {
  struct Case {
    std::string typed, shown;
    int cells;
  };
  for (const Case& c : {Case{"Ünïcødé 音.wav", "Ünïcødé 音.wav", 14}, Case{"de\u0301cor.wav", "de\u0301cor.wav", 9},
                        Case{"caf\xe9.wav", "caf\uFFFD.wav", 8}}) {
    SCOPED_TRACE(c.shown);
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / c.typed, SilentWav(44100, 100)));
    PtySession session;
    ASSERT_TRUE(session.Start(dir.Path()));
    ASSERT_TRUE(session.WaitForText(8, kPrompt));
    session.Type(c.typed);
    EXPECT_TRUE(Shows(session, 8, 32, c.cells + 1, c.shown + " ", {8, 32 + c.cells}));
    session.Press(Key::Enter);
    EXPECT_TRUE(session.WaitForText(11, "FILE DATA")) << session.Screen();
  }
}

// One Backspace takes back one character as seen, and a wide character that
// does not fit in the last column starts the next row.
TEST(TypedName, BackspaceTakesAWholeCharacterAndAWideOneWrapsByCells) {
  TempDir dir;
  PtySession session;
  ASSERT_TRUE(session.Start(dir.Path()));
  ASSERT_TRUE(session.WaitForText(8, kPrompt));
  session.Type("a音e\u0301");
  ASSERT_TRUE(Shows(session, 8, 32, 5, "a音e\u0301 ", {8, 36}));
  EXPECT_TRUE(session.WideAt(8, 33));
  session.Press(Key::Backspace);
  EXPECT_TRUE(Shows(session, 8, 32, 5, "a音  ", {8, 35}));
  session.Press(Key::Backspace);
  EXPECT_TRUE(Shows(session, 8, 32, 5, "a    ", {8, 33}));
  session.Press(Key::Backspace);

  session.Type(std::string(48, 'n') + "音");  // columns 32 to 79, then two cells
  ASSERT_TRUE(Shows(session, 9, 1, 3, "音 ", {9, 3}));
  EXPECT_EQ(session.Text(8, 79, 2), "n ");
  EXPECT_TRUE(session.WideAt(9, 1));
  session.Press(Key::Backspace);
  EXPECT_TRUE(Shows(session, 9, 1, 3, "   ", {8, 80}));
  session.Type("x");
  EXPECT_TRUE(Shows(session, 8, 79, 2, "nx", {9, 1}));
}

}  // namespace
}  // namespace quenlow::e2e
