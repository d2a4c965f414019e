#include "console/console.h"

#include <gtest/gtest.h>

#include "console/memory_backend.h"

namespace quenlow::console {
namespace {

TEST(Console, WrapsAtTheRightEdgeToTheNextRow) {
  MemoryBackend terminal;
  Console console(terminal);
  console.ClearScreen();
  console.MoveCursor(3, 78);
  console.PrintText("abcde");
  EXPECT_EQ(console.RowText(3).substr(77), "abc");
  EXPECT_EQ(console.RowText(4).substr(0, 3), "de ");
  EXPECT_EQ(console.CursorRow(), 4);
  EXPECT_EQ(console.CursorColumn(), 3);

  // A character in the last column leaves the cursor at the next row's start.
  console.MoveCursor(5, 80);
  console.PrintText("x");
  EXPECT_EQ(console.CursorRow(), 6);
  EXPECT_EQ(console.CursorColumn(), 1);
}

TEST(Console, ScrollsWhenOutputPassesTheLastRow) {
  MemoryBackend terminal;
  Console console(terminal);
  console.ClearScreen();
  console.PrintText("top");
  console.MoveCursor(28, 79);
  console.PrintText("yz!");
  EXPECT_EQ(console.RowText(27).substr(78), "yz");
  EXPECT_EQ(console.RowText(28), FullRow("!"));
  EXPECT_EQ(console.CursorRow(), 28);
  EXPECT_EQ(console.CursorColumn(), 2);
  EXPECT_EQ(terminal.Row(1), FullRow(""));  // "top" scrolled away

  console.NewLine();
  EXPECT_EQ(console.RowText(27), FullRow("!"));
  EXPECT_EQ(console.CursorRow(), 28);
  EXPECT_EQ(console.CursorColumn(), 1);
  EXPECT_EQ(terminal.Row(27), FullRow("!"));
}

TEST(Console, ShowsBackslashesAndControlCharactersAsCharacters) {
  MemoryBackend terminal;
  Console console(terminal);
  console.ClearScreen();
  console.PrintText("a\\nb\nc\td");
  EXPECT_EQ(console.RowText(1), FullRow("a\\nb\nc\td"));
  EXPECT_EQ(console.CursorRow(), 1);
  EXPECT_EQ(console.CursorColumn(), 9);
}

// As on a terminal, a wide character written over in either half is gone
// whole, also under another wide one.
TEST(Console, KeepsNoHalfOfAWideCharacter) {
  const Utf8Locale utf8;
  struct Case {
    int column;
    std::string printed, shown;  // shown from column 10
  };
  for (const Case& c : {Case{10, "x", "x 音"}, Case{11, "x", " x音"}, Case{11, "声", " 声 "}}) {
    SCOPED_TRACE(c.shown);
    MemoryBackend terminal;
    Console console(terminal);
    console.ClearScreen();
    console.MoveCursor(5, 10);
    console.PrintText("音音");
    console.MoveCursor(5, c.column);
    console.PrintText(c.printed);
    EXPECT_EQ(terminal.Row(5).substr(9, c.shown.size()), c.shown);
    EXPECT_EQ(console.RowText(5), terminal.Row(5));
  }
}

TEST(Console, KeepsACoordinateOutsideTheScreen) {
  MemoryBackend terminal;
  Console console(terminal);
  console.MoveCursor(5, 10);
  console.MoveCursor(0, 20);
  EXPECT_EQ(console.CursorRow(), 5);
  EXPECT_EQ(console.CursorColumn(), 20);
  console.MoveCursor(29, 81);
  EXPECT_EQ(console.CursorRow(), 5);
  EXPECT_EQ(console.CursorColumn(), 20);
  console.MoveCursor(28, 0);
  EXPECT_EQ(console.CursorRow(), 28);
  EXPECT_EQ(console.CursorColumn(), 20);
}

TEST(Console, WritesAndClearsInTheCurrentColours) {
  MemoryBackend terminal;
  Console console(terminal);
  console.SetColors(8, 15);
  console.ClearScreen();
  EXPECT_EQ(terminal.cells[27][79], (Cell{U' ', 8, 15}));
  console.SetColors(16, 1);  // 16 and above leave that colour
  console.PrintText("a");
  console.SetColors(0, 99);
  console.PrintText("b");
  EXPECT_EQ(console.CellAt(1, 1), (Cell{U'a', 8, 1}));
  EXPECT_EQ(console.CellAt(1, 2), (Cell{U'b', 0, 1}));
  EXPECT_EQ(terminal.cells[0][1], (Cell{U'b', 0, 1}));
}

TEST(Console, ClearingKeepsTheCursorHiddenOrShown) {
  MemoryBackend terminal;
  Console console(terminal);
  console.HideCursor();
  console.MoveCursor(9, 9);
  console.ClearScreen();
  EXPECT_FALSE(terminal.cursorVisible);
  EXPECT_EQ(terminal.cursorRow, 1);
  EXPECT_EQ(terminal.cursorColumn, 1);
}

TEST(Console, PrintsNumbersInTheirTextForm) {
  MemoryBackend terminal;
  Console console(terminal);
  console.ClearScreen();
  console.PrintNumber(44100, 15);
  console.PrintText("Hz");
  EXPECT_EQ(console.RowText(1), FullRow(" 44100 Hz"));
}

TEST(Console, WaitForKeyEndsOnAnyKeyAndTakesItsWholeSequence) {
  MemoryBackend terminal;
  Console console(terminal);
  terminal.Press(Key::Kind::NonCharacter);  // F1 as the terminal decodes it
  terminal.Type("\x1b[15~");               // F5 left undecoded
  terminal.Type("q");
  console.WaitForKey();
  EXPECT_EQ(terminal.keys.size(), 6u);
  console.WaitForKey();
  EXPECT_EQ(terminal.keys.size(), 1u);
  console.WaitForKey();
  EXPECT_TRUE(terminal.keys.empty());
}

TEST(Console, BeepRingsTheBell) {
  MemoryBackend terminal;
  Console console(terminal);
  console.Beep();
  EXPECT_EQ(terminal.bells, 1);
}

}  // namespace
}  // namespace quenlow::console
