#include "console/console.h"

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
  Put(row_, column_, Cell{ch, colors_.foreground, colors_.background});
  if (column_ < kColumns) {
    ++column_;
    return;
  }
  column_ = 1;
  if (row_ < kRows) {
    ++row_;
  } else {
    ScrollUp();
  }
}

void Console::PrintNumber(double value, int significantDigits) {
  PrintText(FormatNumber(value, significantDigits));
}

void Console::NewLine() {
  column_ = 1;
  if (row_ < kRows) {
    ++row_;
  } else {
    ScrollUp();
  }
  SyncCursor();
}

void Console::MoveCursor(int row, int column) {
  if (row >= 1 && row <= kRows) row_ = row;
  if (column >= 1 && column <= kColumns) column_ = column;
  SyncCursor();
}

std::string Console::ReadLine() {
  const bool wasHidden = !cursorVisible_;
  if (wasHidden) ShowCursor();
  std::u32string text;
  for (;;) {
    backend_.Flush();
    const Input input = NextInput();
    if (input.kind == InputKind::Enter) break;
    if (input.kind == InputKind::Backspace) {
      if (text.empty()) continue;
      text.pop_back();
      StepBack();
      Put(row_, column_, Cell{U' ', colors_.foreground, colors_.background});
      SyncCursor();
      continue;
    }
    if (input.kind != InputKind::Character || input.ch < 32) continue;
    if (text.size() >= kMaxLineLength) continue;
    text.push_back(input.ch);
    PrintCharacter(input.ch);
    SyncCursor();
  }
  NewLine();
  if (wasHidden) HideCursor();
  backend_.Flush();
  return EncodeUtf8(text);
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
  for (const Cell& cell : cells_[row - 1]) AppendUtf8(out, cell.ch);
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
  if (!key) return {InputKind::Ignored, 0};
  switch (key->kind) {
    case Key::Kind::Backspace: return {InputKind::Backspace, 0};
    case Key::Kind::Enter: return {InputKind::Enter, 0};
    case Key::Kind::NonCharacter: return {InputKind::Ignored, 0};
    case Key::Kind::Character: break;
  }
  const char32_t ch = key->ch;
  if (ch == kBackspace || ch == kDelete) return {InputKind::Backspace, 0};
  if (ch == kCarriageReturn || ch == kLineFeed) return {InputKind::Enter, 0};
  if (ch != kEscape) return {InputKind::Character, ch};

  const std::optional<Key> next = backend_.ReadKey(kSequenceFollowMs);
  if (!next) return {InputKind::Escape, 0};
  if (next->kind == Key::Kind::Character && (next->ch == U'[' || next->ch == U'O')) {
    SkipEscapeSequence(next->ch);
  }
  return {InputKind::Ignored, 0};
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

void Console::Put(int row, int column, const Cell& cell) {
  cells_[row - 1][column - 1] = cell;
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
