#include "console/console.h"

#include <algorithm>
#include <vector>

#include "console/cell_width.h"
#include "console/number_text.h"
#include "console/utf8.h"

namespace quenlow::console {
namespace {

// How long the rest of an escape sequence may take to follow its Escape.
// The terminal sends a whole sequence at once, while a person pressing Escape
// and then another key takes far longer.
constexpr int kSequenceFollowMs = 30;
// No real sequence is longer; a runaway one is cut off here.
constexpr int kMaxSequenceLength = 32;

constexpr char32_t kBackspace = 8;
constexpr char32_t kDelete = 127;
constexpr char32_t kCarriageReturn = 13;
constexpr char32_t kLineFeed = 10;
constexpr char32_t kEscape = 27;
constexpr char32_t kReplacement = 0xFFFD;

Console* activeConsole = nullptr;

}  // namespace

Console::Console(ConsoleBackend& backend) : backend_(backend) {
  for (auto& row : cells_) row.fill(Cell{U' ', colors_.foreground, colors_.background});
}

void Console::SetColors(int foreground, int background) {
  if (foreground >= 0 && foreground < 16) colors_.foreground = foreground;
  if (background >= 0 && background < 16) colors_.background = background;
}

void Console::ClearScreen() {
  const Cell blank{U' ', colors_.foreground, colors_.background};
  for (auto& row : cells_) row.fill(blank);
  row_ = 1;
  column_ = 1;
  Redraw();
}

void Console::HideCursor() {
  cursorVisible_ = false;
  SyncCursor();
}

void Console::ShowCursor() {
  cursorVisible_ = true;
  SyncCursor();
}

void Console::PrintText(std::string_view text) {
  for (char32_t ch : DecodeUtf8(text)) PrintCharacter(ch);
  SyncCursor();
}

void Console::PrintCharacter(char32_t ch) {
  if (ch > 0x10FFFF) ch = kReplacement;
  const int width = CellWidth(ch);
  if (width == 0) {
    AddMark(ch);
    return;
  }
  const Cell cell{ch, colors_.foreground, colors_.background};
  if (width == 2 && column_ == kColumns) {
    // One cell is too few: the character starts the next row, as it would
    // on a terminal, and the cell it leaves is blank.
    Put(row_, column_, Cell{U' ', cell.foreground, cell.background});
    column_ = 1;
    AdvanceRow();
  }
  Put(row_, column_, cell);
  if (width == 2) Put(row_, column_ + 1, Cell{kRightHalf, cell.foreground, cell.background});
  column_ += width;
  if (column_ > kColumns) {
    column_ = 1;
    AdvanceRow();
  }
}

void Console::PrintNumber(double value, int significantDigits) {
  PrintText(FormatNumber(value, significantDigits));
}

void Console::NewLine() {
  column_ = 1;
  AdvanceRow();
  SyncCursor();
}

void Console::MoveCursor(int row, int column) {
  if (row >= 1 && row <= kRows) row_ = row;
  if (column >= 1 && column <= kColumns) column_ = column;
  SyncCursor();
}

// The name keeps every byte as typed; the echo shows it as the terminal
// would. Backspace takes back one character as seen: a wide character with
// both its cells, a letter with the marks over it, a byte that forms no
// character.
std::string Console::ReadLine() {
  struct Echoed {
    std::size_t bytes;       // of the name
    std::size_t characters;  // code points and stray bytes, for the limit
    int cells;               // on screen, a cell left blank by a wrap included
  };
  const bool wasHidden = !cursorVisible_;
  if (wasHidden) ShowCursor();
  std::string text;
  std::vector<Echoed> echoed;
  std::size_t characters = 0;
  for (;;) {
    backend_.Flush();
    const Input input = NextInput();
    if (input.kind == InputKind::Enter) break;
    if (input.kind == InputKind::Backspace) {
      if (echoed.empty()) continue;
      const Echoed last = echoed.back();
      echoed.pop_back();
      text.resize(text.size() - last.bytes);
      characters -= last.characters;
      for (int i = 0; i < last.cells; ++i) {
        StepBack();
        Put(row_, column_, Cell{U' ', colors_.foreground, colors_.background});
      }
      SyncCursor();
      continue;
    }
    if (input.kind != InputKind::Character || input.ch < 32) continue;
    if (characters >= kMaxLineLength) continue;
    const std::size_t before = text.size();
    if (input.bytes.empty()) {
      AppendUtf8(text, input.ch);
    } else {
      text += input.bytes;
    }
    ++characters;
    const int width = CellWidth(input.ch);
    if (width == 0 && !echoed.empty()) {
      echoed.back().bytes += text.size() - before;
      ++echoed.back().characters;
    } else {
      // A mark with nothing before it in the name stands on a blank of its own.
      if (width == 0) PrintCharacter(U' ');
      const int cells = width == 2 && column_ == kColumns ? 3 : std::max(width, 1);
      echoed.push_back(Echoed{text.size() - before, 1, cells});
    }
    PrintCharacter(input.ch);
    SyncCursor();
  }
  NewLine();
  if (wasHidden) HideCursor();
  backend_.Flush();
  return text;
}

void Console::WaitForKey() {
  backend_.Flush();
  NextInput();
}

bool Console::ReadConfirmKey() {
  backend_.Flush();
  const Input input = NextInput();
  return input.kind == InputKind::Enter || input.kind == InputKind::Escape ||
         (input.kind == InputKind::Character && input.ch == U' ');
}

void Console::Beep() { backend_.Bell(); }

std::string Console::RowText(int row) const {
  std::string out;
  for (const Cell& cell : cells_[row - 1]) {
    if (cell.ch == kRightHalf) continue;
    AppendUtf8(out, cell.ch);
    for (char32_t mark : cell.marks) {
      if (mark != 0) AppendUtf8(out, mark);
    }
  }
  return out;
}

Console::Snapshot Console::Save() const {
  return Snapshot{cells_, row_, column_, cursorVisible_, colors_};
}

void Console::Restore(const Snapshot& snapshot) {
  cells_ = snapshot.cells;
  row_ = snapshot.row;
  column_ = snapshot.column;
  cursorVisible_ = snapshot.cursorVisible;
  colors_ = snapshot.colors;
  Redraw();
}

// Turns the terminal's keys into what the line input and the key waits act
// on. Every encoding of Backspace and Enter is accepted; an Escape that the
// rest of a sequence follows at once (arrows the terminal description does not
// know, Alt with a letter) is taken whole, so none of it reaches the text.
Console::Input Console::NextInput() {
  const std::optional<Key> key = backend_.ReadKey(-1);
  if (!key) return {InputKind::Ignored, 0, {}};
  switch (key->kind) {
    case Key::Kind::Backspace: return {InputKind::Backspace, 0, {}};
    case Key::Kind::Enter: return {InputKind::Enter, 0, {}};
    case Key::Kind::NonCharacter: return {InputKind::Ignored, 0, {}};
    case Key::Kind::Character: break;
  }
  const char32_t ch = key->ch;
  if (ch == kBackspace || ch == kDelete) return {InputKind::Backspace, 0, {}};
  if (ch == kCarriageReturn || ch == kLineFeed) return {InputKind::Enter, 0, {}};
  if (ch != kEscape) return {InputKind::Character, ch, key->bytes};

  const std::optional<Key> next = backend_.ReadKey(kSequenceFollowMs);
  if (!next) return {InputKind::Escape, 0, {}};
  if (next->kind == Key::Kind::Character && (next->ch == U'[' || next->ch == U'O')) {
    SkipEscapeSequence(next->ch);
  }
  return {InputKind::Ignored, 0, {}};
}

// Control sequences end with a byte from '@' to '~'; SS3 sequences after
// their one parameter-free final byte.
void Console::SkipEscapeSequence(char32_t introducer) {
  for (int i = 0; i < kMaxSequenceLength; ++i) {
    const std::optional<Key> key = backend_.ReadKey(kSequenceFollowMs);
    if (!key || key->kind != Key::Kind::Character) return;
    if (introducer == U'O') return;
    if (key->ch >= 0x40 && key->ch <= 0x7E) return;
    if (key->ch < 0x20 || key->ch > 0x3F) return;
  }
}

void Console::AdvanceRow() {
  if (row_ < kRows) {
    ++row_;
  } else {
    ScrollUp();
  }
}

void Console::ScrollUp() {
  for (int r = 0; r + 1 < kRows; ++r) cells_[r] = cells_[r + 1];
  cells_[kRows - 1].fill(Cell{U' ', colors_.foreground, colors_.background});
  Redraw();
}

// One cell back, from column 1 to the last column of the row above.
void Console::StepBack() {
  if (column_ > 1) {
    --column_;
  } else if (row_ > 1) {
    --row_;
    column_ = kColumns;
  }
}

// The mark goes onto the character before the cursor, the left half of a
// wide one included; at the very start it stands on a blank of its own.
// Marks past what a cell holds are not shown.
void Console::AddMark(char32_t mark) {
  int row = row_;
  int column = column_;
  if (column > 1) {
    --column;
  } else if (row > 1) {
    --row;
    column = kColumns;
  } else {
    PrintCharacter(U' ');
    AddMark(mark);
    return;
  }
  if (cells_[row - 1][column - 1].ch == kRightHalf && column > 1) --column;
  Cell cell = cells_[row - 1][column - 1];
  for (char32_t& place : cell.marks) {
    if (place != 0) continue;
    place = mark;
    Put(row, column, cell);
    return;
  }
}

// As on a terminal, a two-cell character written over in either half is
// gone whole: its other half turns blank.
void Console::Put(int row, int column, const Cell& cell) {
  std::array<Cell, kColumns>& cells = cells_[row - 1];
  if (cell.ch != kRightHalf && cells[column - 1].ch == kRightHalf && column > 1) BlankHalf(row, column - 1);
  if (column < kColumns && cells[column].ch == kRightHalf && CellWidth(cell.ch) != 2) {
    BlankHalf(row, column + 1);
  }
  cells[column - 1] = cell;
  backend_.PutCell(row, column, cell);
}

void Console::BlankHalf(int row, int column) {
  Cell& cell = cells_[row - 1][column - 1];
  cell = Cell{U' ', cell.foreground, cell.background};
  backend_.PutCell(row, column, cell);
}

void Console::SyncCursor() { backend_.PlaceCursor(row_, column_, cursorVisible_); }

void Console::Redraw() {
  for (int r = 1; r <= kRows; ++r) {
    for (int c = 1; c <= kColumns; ++c) backend_.PutCell(r, c, cells_[r - 1][c - 1]);
  }
  SyncCursor();
}

Console* ActiveConsole() { return activeConsole; }
void SetActiveConsole(Console* console) { activeConsole = console; }

}  // namespace quenlow::console
