// An in-memory terminal for driving the console in tests: keys queued in,
// cells, cursor, bells and window requests recorded.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <optional>
#include <string>

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

  std::string Row(int row) const {
    std::string out;
    for (const Cell& cell : cells[row - 1]) AppendUtf8(out, cell.ch);
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
  const std::size_t length = DecodeUtf8(text).size();
  if (length < Console::kColumns) text.append(Console::kColumns - length, ' ');
  return text;
}

}  // namespace quenlow::console
