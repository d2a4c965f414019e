#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "console/memory_backend.h"

namespace quenlow::console {
namespace {

// A console with the cursor at column 32 of row 8, like the file prompt.
struct Prompt {
  MemoryBackend terminal;
  Console console{terminal};
  Prompt() {
    console.SetColors(TextColors);
    console.ClearScreen();
    console.HideCursor();
    console.MoveCursor(8, 32);
  }
  std::string Read() {
    std::string text = console.ReadLine();
    EXPECT_TRUE(terminal.keys.empty()) << "keys left after the input";
    return text;
  }
};

TEST(ReadLine, ReturnsTheTextAndEndsTheRow) {
  Prompt p;
  p.terminal.Type("song.wav");
  p.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(p.Read(), "song.wav");
  EXPECT_EQ(p.console.RowText(8).substr(31, 9), "song.wav ");
  EXPECT_EQ(p.console.CellAt(8, 32), (Cell{U's', 0, 15}));
  EXPECT_EQ(p.console.CursorRow(), 9);
  EXPECT_EQ(p.console.CursorColumn(), 1);
  EXPECT_FALSE(p.terminal.cursorVisible);  // hidden again as it was before
}

TEST(ReadLine, EndsOnEveryEncodingOfEnter) {
  for (char32_t enter : {U'\r', U'\n'}) {
    Prompt p;
    p.terminal.Type(" a b ");
    p.terminal.PressCharacter(enter);
    EXPECT_EQ(p.Read(), " a b ");  // blanks kept
  }
}

TEST(ReadLine, ErasesWithEveryEncodingOfBackspace) {
  Prompt p;
  p.terminal.Type("abcd");
  p.terminal.Press(Key::Kind::Backspace);
  p.terminal.PressCharacter(127);
  p.terminal.PressCharacter(8);
  p.terminal.Type("x");
  p.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(p.Read(), "ax");
  EXPECT_EQ(p.console.RowText(8).substr(31, 5), "ax   ");
}

TEST(ReadLine, IgnoresBackspaceAtTheStart) {
  Prompt p;
  p.console.MoveCursor(8, 31);
  p.console.PrintText("<");
  p.terminal.Press(Key::Kind::Backspace);
  p.terminal.PressCharacter(127);
  p.terminal.Type("z");
  p.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(p.Read(), "z");
  EXPECT_EQ(p.console.CellAt(8, 31).ch, U'<');
  EXPECT_EQ(p.console.CellAt(8, 32).ch, U'z');
}

TEST(ReadLine, BacksAcrossAWrappedRowToTheLastColumnAbove) {
  Prompt p;
  const std::string name(50, 'n');  // 49 fill row 8, the 50th lands on row 9
  p.terminal.Type(name);
  p.terminal.Press(Key::Kind::Backspace);
  p.terminal.Press(Key::Kind::Backspace);
  p.terminal.Type("E");
  p.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(p.Read(), std::string(48, 'n') + "E");
  EXPECT_EQ(p.console.CellAt(8, 80).ch, U'E');
  EXPECT_EQ(p.console.CellAt(9, 1).ch, U' ');
  EXPECT_EQ(p.console.CursorRow(), 10);  // the wrap carried the input a row down
}

TEST(ReadLine, LeavesNoTraceOfTabEscapeArrowsAndAltLetters) {
  Prompt p;
  p.terminal.Type("a\tb");
  p.terminal.PressCharacter(27);  // Escape alone
  p.terminal.Pause();
  p.terminal.Type("c");
  p.terminal.Press(Key::Kind::NonCharacter);  // an arrow the terminal decoded
  p.terminal.Type("\x1b[D");                  // one it did not
  p.terminal.Type("\x1bOA");
  p.terminal.Type("\x1b[1;5C");               // Ctrl+Right
  p.terminal.Type("\x1bx");                   // Alt+x
  p.terminal.Type("d");
  p.terminal.PressCharacter(3);  // Ctrl+C arriving as a character
  p.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(p.Read(), "abcd");
  EXPECT_EQ(p.console.RowText(8).substr(31, 5), "abcd ");
}

TEST(ReadLine, IgnoresTheCharacterPastTheLimit) {
  Prompt p;
  p.terminal.Type(std::string(kMaxLineLength, 'k') + "X");
  p.terminal.Press(Key::Kind::Enter);
  const std::string text = p.Read();
  EXPECT_EQ(text, std::string(kMaxLineLength, 'k'));
}

TEST(ReadLine, EchoesUtf8CharactersInTheCellsTheyTake) {
  const Utf8Locale utf8;
  Prompt p;
  p.terminal.Type("Straße/声音.wav");
  p.terminal.Press(Key::Kind::Backspace);
  p.terminal.Type("v");
  p.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(p.Read(), "Straße/声音.wav");
  EXPECT_EQ(p.console.CellAt(8, 36).ch, U'ß');
  EXPECT_EQ(p.console.CellAt(8, 39).ch, U'声');
  EXPECT_EQ(p.console.CellAt(8, 40).ch, kRightHalf);
  EXPECT_EQ(p.console.CellAt(8, 41).ch, U'音');
  EXPECT_EQ(p.console.CellAt(8, 46).ch, U'v');
  EXPECT_EQ(p.terminal.Row(8), FullRow(std::string(31, ' ') + "Straße/声音.wav"));

  // The limit counts characters, not bytes.
  Prompt wide;
  std::string many;
  for (std::size_t i = 0; i < kMaxLineLength + 1; ++i) many += "é";
  wide.terminal.Type(many);
  wide.terminal.Press(Key::Kind::Enter);
  EXPECT_EQ(wide.Read().size(), 2 * kMaxLineLength);
}

// What Backspace takes back, from the name and from the screen: one
// character as seen. A mark with nothing before it stands on a blank of its
// own, never on the prompt's.
TEST(ReadLine, BackspaceTakesBackOneCharacterAsSeen) {
  const Utf8Locale utf8;
  struct Case {
    std::string typed, name;
    std::string shown;  // from column 31
  };
  const Case cases[] = {
      {"ae\u0301\u0302", "a", " a "},  // a letter with two marks
      {"a音", "a", " a  "},              // both cells of a wide character
      {"\u0301", "", "   "},            // a mark alone, with its blank
      {"\u0301x\u0302", "\u0301", "  \u0301 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Prompt p;
    p.terminal.Type(c.typed);
    p.terminal.Press(Key::Kind::Backspace);
    p.terminal.Press(Key::Kind::Enter);
    EXPECT_EQ(p.Read(), c.name);
    EXPECT_EQ(p.terminal.Row(8).substr(30, c.shown.size()), c.shown);
  }
}

TEST(ReadLine, GivesTheCursorBackAsItWas) {
  Prompt p;
  p.terminal.Press(Key::Kind::Enter);
  p.Read();
  EXPECT_FALSE(p.terminal.cursorVisible);
  p.console.ShowCursor();
  p.terminal.Press(Key::Kind::Enter);
  p.Read();
  EXPECT_TRUE(p.terminal.cursorVisible);  // left shown when it was shown
}

}  // namespace
}  // namespace quenlow::console
