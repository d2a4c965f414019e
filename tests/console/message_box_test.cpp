#include "console/message_box.h"

#include <gtest/gtest.h>

#include <string>

#include "console/console_tools.h"
#include "console/memory_backend.h"

namespace quenlow::console {
namespace {

const std::string kNotFound = "            File not found.\\n Please enter a valid filename  ";

// A screen with something in every colour, to see it come back whole.
void FillScreen(Console& console) {
  console.SetColors(LabelColors);
  console.ClearScreen();
  for (int row = 1; row <= Console::kRows; ++row) {
    console.SetColors(row % 16, 15 - row % 16);
    console.MoveCursor(row, 1);
    console.PrintText(std::string(Console::kColumns, static_cast<char>('A' + row % 26)));
  }
  console.SetColors(TextColors);
  console.MoveCursor(9, 12);
  console.HideCursor();
}

// Reads the box from the backend in the middle of the wait.
class PeekingBackend final : public ConsoleBackend {
 public:
  MemoryBackend inner;
  std::array<std::string, Console::kRows> rowsWhileUp{};
  std::array<std::array<Cell, Console::kColumns>, Console::kRows> cellsWhileUp{};
  void PutCell(int r, int c, const Cell& cell) override { inner.PutCell(r, c, cell); }
  void PlaceCursor(int r, int c, bool v) override { inner.PlaceCursor(r, c, v); }
  void Flush() override {}
  std::optional<Key> ReadKey(int timeoutMs) override {
    for (int r = 1; r <= Console::kRows; ++r) rowsWhileUp[r - 1] = inner.Row(r);
    cellsWhileUp = inner.cells;
    return inner.ReadKey(timeoutMs);
  }
  void Bell() override {}
  void SetTitle(std::string_view) override {}
  void RequestSize(int, int) override {}
};

TEST(MessageBox, DrawsTheTitleInTheTopBorderAndTheTextWhole) {
  PeekingBackend terminal;
  Console console(terminal);
  FillScreen(console);
  terminal.inner.Press(Key::Kind::Enter);
  ShowMessageBox(console, kNotFound, " ERROR");

  int top = 0;
  for (int r = 1; r <= Console::kRows && top == 0; ++r) {
    if (terminal.rowsWhileUp[r - 1].find("┌─ ERROR ─") != std::string::npos) top = r;
  }
  ASSERT_GT(top, 0);
  const std::string& textRow = terminal.rowsWhileUp[top + 1];
  EXPECT_NE(textRow.find("│ " + kNotFound + " │"), std::string::npos) << textRow;
  EXPECT_NE(terminal.rowsWhileUp[top + 3].find("< OK >"), std::string::npos);
  EXPECT_NE(terminal.rowsWhileUp[top + 4].find("└"), std::string::npos);
  EXPECT_FALSE(terminal.inner.cursorVisible);

  // Centred: the frame's 65 columns leave 7 and 8 on either side.
  EXPECT_EQ(textRow.find("│"), 7u);
}

TEST(MessageBox, RestoresEveryCellColourAndTheCursor) {
  MemoryBackend terminal;
  Console console(terminal);
  FillScreen(console);
  const Console::Snapshot before = console.Save();
  const auto terminalBefore = terminal.cells;
  terminal.Type("abc ");  // only the blank closes it
  ShowMessageBox(console, "This is not a stereo file  ", " ERROR");
  EXPECT_TRUE(terminal.keys.empty());
  EXPECT_EQ(terminal.cells, terminalBefore);
  EXPECT_EQ(console.Save().cells, before.cells);
  EXPECT_EQ(console.CursorRow(), 9);
  EXPECT_EQ(console.CursorColumn(), 12);
  EXPECT_FALSE(console.CursorVisible());
  EXPECT_EQ(console.Colors().foreground, TextColors.foreground);
  EXPECT_EQ(console.Colors().background, TextColors.background);
}

TEST(MessageBox, ClosesOnEscapeButNotOnAnArrow) {
  MemoryBackend terminal;
  Console console(terminal);
  terminal.Type("\x1b[A");  // an arrow: stays up
  terminal.PressCharacter(27);
  terminal.Pause();          // Escape alone: closes
  terminal.Type("left over");
  ShowMessageBox(console, "text", "title");
  EXPECT_EQ(terminal.keys.size(), 9u);
}

TEST(MessageBox, WrapsATextWiderThanTheScreen) {
  PeekingBackend terminal;
  Console console(terminal);
  console.ClearScreen();
  std::string text;
  for (int i = 0; i < 20; ++i) text += "word" + std::to_string(i) + " ";
  terminal.inner.Press(Key::Kind::Enter);
  ShowMessageBox(console, text, "long");
  std::string joined;
  for (const std::string& row : terminal.rowsWhileUp) {
    const std::size_t open = row.find("│ ");
    const std::size_t close = row.rfind(" │");
    if (open != std::string::npos && close != std::string::npos && close > open) {
      std::string inside = row.substr(open + 4, close - open - 4);
      while (!inside.empty() && inside.back() == ' ') inside.pop_back();
      joined += inside.empty() ? "" : inside + " ";
    }
  }
  EXPECT_NE(joined.find("word0 word1"), std::string::npos);
  EXPECT_NE(joined.find("word19"), std::string::npos);
}

// A message naming a file of wide characters and marks keeps its frame
// square, wrapped or not.
TEST(MessageBox, MeasuresTextInCells) {
  const Utf8Locale utf8;
  for (const std::string& text : {std::string(" 音声 de\u0301cor.wav cannot be written  "),
                                  std::string(40, 'x') + " " + std::string(60, 'x') + " 音声音声音声音声"}) {
    SCOPED_TRACE(text);
    PeekingBackend terminal;
    Console console(terminal);
    console.ClearScreen();
    terminal.inner.Press(Key::Kind::Enter);
    ShowMessageBox(console, text, " ERROR");
    int top = 0, right = 0;
    for (int r = 1; r <= Console::kRows && top == 0; ++r) {
      for (int c = 1; c <= Console::kColumns; ++c) {
        if (terminal.cellsWhileUp[r - 1][c - 1].ch == U'\u2510') top = r, right = c;
      }
    }
    ASSERT_GT(top, 0);
    int bottom = top + 1;
    while (bottom < Console::kRows && terminal.cellsWhileUp[bottom - 1][right - 1].ch == U'\u2502') ++bottom;
    EXPECT_EQ(terminal.cellsWhileUp[bottom - 1][right - 1].ch, U'\u2518');
    EXPECT_GE(bottom - top, 5);
  }
}

TEST(ConsoleTools, DressTheWindowThroughTheActiveConsole) {
  MemoryBackend terminal;
  Console console(terminal);
  SetActiveConsole(&console);
  std::int32_t state = 0;
  InitConsoleTools(nullptr, 0, 0, 0, &state, 0);
  EXPECT_EQ(ConsoleTitle("Quenlow"), "");
  Console80x(28);
  terminal.Press(Key::Kind::Enter);
  ConsoleMessageBox("text", 0, " ERROR", 0, 0);
  SetActiveConsole(nullptr);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(terminal.title, "Quenlow");
  EXPECT_EQ(terminal.requestedRows, 28);
  EXPECT_EQ(terminal.requestedColumns, 80);
  EXPECT_TRUE(terminal.keys.empty());
  ConsoleTitle("no console");  // harmless without one
}

}  // namespace
}  // namespace quenlow::console
