// The logical text console of the dialogue: 80 columns by 28 rows of cells,
// a cursor and a current colour pair, drawn through a ConsoleBackend.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "console/console_backend.h"
#include "console/screen_size.h"

namespace quenlow::console {

struct ColorPair {
  int foreground;
  int background;
};

// Palette numbers: bit 0 blue, bit 1 green, bit 2 red, bit 3 bright.
inline constexpr ColorPair TextColors{0, 15};
inline constexpr ColorPair LabelColors{8, 15};

// What a line input keeps at most, in characters.
inline constexpr std::size_t kMaxLineLength = 10000;

class Console {
 public:
  static constexpr int kRows = kScreenRows;
  static constexpr int kColumns = kScreenColumns;

  struct Snapshot {
    std::array<std::array<Cell, kColumns>, kRows> cells;
    int row, column;
    bool cursorVisible;
    ColorPair colors;
  };

  explicit Console(ConsoleBackend& backend);

  // A colour of 16 or more leaves that colour as it was.
  void SetColors(int foreground, int background);
  void SetColors(ColorPair pair) { SetColors(pair.foreground, pair.background); }
  ColorPair Colors() const { return colors_; }

  void ClearScreen();
  void HideCursor();
  void ShowCursor();
  bool CursorVisible() const { return cursorVisible_; }

  // UTF-8 text, cell by cell as a terminal shows it: a wide character takes
  // two cells (moving to the next row first when only one is left), and a
  // combining mark joins the character before the cursor. Control characters
  // are stored as they are and never move the cursor by themselves.
  void PrintText(std::string_view text);
  void PrintCharacter(char32_t ch);
  void PrintNumber(double value, int significantDigits);
  void NewLine();
  int CursorRow() const { return row_; }
  int CursorColumn() const { return column_; }
  void MoveCursor(int row, int column);

  std::string ReadLine();
  void WaitForKey();
  void Beep();

  // A key for a closing dialogue: Enter, Space or a lone Escape.
  bool ReadConfirmKey();

  const Cell& CellAt(int row, int column) const { return cells_[row - 1][column - 1]; }
  // The characters of one row as UTF-8.
  std::string RowText(int row) const;

  Snapshot Save() const;
  void Restore(const Snapshot& snapshot);

  ConsoleBackend& Backend() { return backend_; }

 private:
  enum class InputKind { Character, Backspace, Enter, Escape, Ignored };
  struct Input {
    InputKind kind;
    char32_t ch;
    std::string bytes;  // for a character: as the terminal sent it
  };

  Input NextInput();
  void SkipEscapeSequence(char32_t introducer);
  void AdvanceRow();
  void ScrollUp();
  void StepBack();
  void AddMark(char32_t mark);
  void Put(int row, int column, const Cell& cell);
  void BlankHalf(int row, int column);
  void SyncCursor();
  void Redraw();

  ConsoleBackend& backend_;
  std::array<std::array<Cell, kColumns>, kRows> cells_{};
  int row_ = 1;
  int column_ = 1;
  bool cursorVisible_ = true;
  ColorPair colors_{7, 0};
};

// The console the screens draw on, once the terminal has been taken.
Console* ActiveConsole();
void SetActiveConsole(Console* console);

}  // namespace quenlow::console
