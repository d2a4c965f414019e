// An in-memory terminal for driving the console in tests: keys queued in,
// cells, cursor, bells and window requests recorded.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <deque>
#include <optional>
#include <string>

#include "console/cell_width.h"
#include "console/console.h"
#include "console/utf8.h"

namespace quenlow::console {

class MemoryBackend final : public ConsoleBackend {
 public:
  void PutCell(int row, int column, const Cell& cell) override {
    ASSERT_TRUE(row >= 1 && row <= Console::kRows && column >= 1 && column <= Console::kColumns);
    cells[row - 1][column - 1] = cell;
  }
  void PlaceCursor(int row, int column, bool visible) override {
    cursorRow = row, cursorColumn = column, cursorVisible = visible;
  }
  void Flush() override {}
  // A queued pause answers a timed read with nothing; a read that would wait
  // for ever on an empty queue is a fault of the test and gets Enter.
  std::optional<Key> ReadKey(int timeoutMs) override {
    while (!keys.empty()) {
      const std::optional<Key> key = keys.front();
      keys.pop_front();
      if (key) return key;
      if (timeoutMs >= 0) return std::nullopt;
    }
    if (timeoutMs >= 0) return std::nullopt;
    ADD_FAILURE() << "the console waited for a key that was never typed";
    return Key{Key::Kind::Enter, 0};
  }
  void Bell() override { ++bells; }
  void SetTitle(std::string_view text) override { title = text; }
  void RequestSize(int rows, int columns) override { requestedRows = rows, requestedColumns = columns; }

  void Type(std::string_view text) {
    for (char32_t ch : DecodeUtf8(text)) keys.push_back(Key{Key::Kind::Character, ch});
  }
  void Press(Key::Kind kind) { keys.push_back(Key{kind, 0}); }
  void PressCharacter(char32_t ch) { keys.push_back(Key{Key::Kind::Character, ch}); }
  void Pause() { keys.push_back(std::nullopt); }

  // A wide character once, with the marks over each character.
  std::string Row(int row) const {
    std::string out;
    for (const Cell& cell : cells[row - 1]) {
      if (cell.ch == kRightHalf) continue;
      AppendUtf8(out, cell.ch);
      for (char32_t mark : cell.marks) {
        if (mark != 0) AppendUtf8(out, mark);
      }
    }
    return out;
  }

  std::array<std::array<Cell, Console::kColumns>, Console::kRows> cells{};
  std::deque<std::optional<Key>> keys;
  int cursorRow = 0, cursorColumn = 0;
  bool cursorVisible = true;
  int bells = 0;
  std::string title;
  int requestedRows = 0, requestedColumns = 0;
};

// A row's text padded with blanks to the full width.
inline std::string FullRow(std::string text) {
  std::size_t cells = 0;
  for (char32_t ch : DecodeUtf8(text)) cells += static_cast<std::size_t>(CellWidth(ch));
  if (cells < Console::kColumns) text.append(Console::kColumns - cells, ' ');
  return text;
}

// The C library's character tables for UTF-8, as the program has them, for
// as long as the object lives; the test's own locale comes back after. (On
// Windows the widths come from tables of the program's own, whatever the
// locale, and the C library there has no C.UTF-8.)
class Utf8Locale {
 public:
  Utf8Locale() : before_(std::setlocale(LC_CTYPE, nullptr)) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    EXPECT_EQ(CellWidth(U'\u4E2D'), 2) << "no character tables for UTF-8 (the C.UTF-8 locale)";
  }
  ~Utf8Locale() { std::setlocale(LC_CTYPE, before_.c_str()); }
  Utf8Locale(const Utf8Locale&) = delete;
  Utf8Locale& operator=(const Utf8Locale&) = delete;

 private:
  std::string before_;
};

}  // namespace quenlow::console
