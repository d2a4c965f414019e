// What the console needs from a terminal: cells and a cursor out, keys and
// the bell. The real terminal and the tests' in-memory screen both provide it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quenlow::console {

// Combining marks one cell carries at most, as a curses cell does.
inline constexpr int kMarksPerCell = 4;

// The character of a cell that holds the right half of the two-cell
// character before it; no code point has this value.
inline constexpr char32_t kRightHalf = 0x110000;

// One character cell: a code point with the combining marks drawn over it,
// and its 16-colour palette pair.
struct Cell {
  char32_t ch = U' ';
  int foreground = 7;
  int background = 0;
  // In the order they came; unused places hold 0.
  std::array<char32_t, kMarksPerCell> marks{};
  friend bool operator==(const Cell&, const Cell&) = default;
};

// A key as the terminal delivers it. `Character` carries the code point
// unchanged (control characters included), and in `bytes` what the terminal
// sent for it, which a typed name keeps as it is: a byte that forms no
// character comes as U+FFFD with that byte. Empty `bytes` stand for the UTF-8
// form of the code point. `Backspace` and `Enter` are the terminal's own key
// codes for them; `NonCharacter` is any other decoded key (arrows, function
// keys, Home, ...).
struct Key {
  enum class Kind { Character, Backspace, Enter, NonCharacter };
  Kind kind = Kind::NonCharacter;
  char32_t ch = 0;
  std::string bytes{};
};

class ConsoleBackend {
 public:
  virtual ~ConsoleBackend() = default;

  // Rows and columns count from 1. A two-cell character comes as its left
  // cell followed by a kRightHalf cell.
  virtual void PutCell(int row, int column, const Cell& cell) = 0;
  virtual void PlaceCursor(int row, int column, bool visible) = 0;
  // Makes everything put so far visible.
  virtual void Flush() = 0;
  // The next key, waiting at most `timeoutMs` milliseconds (a negative
  // timeout waits for ever). Nothing when no key came in time.
  virtual std::optional<Key> ReadKey(int timeoutMs) = 0;
  virtual void Bell() = 0;

  // Window dressing; a terminal that cannot do it ignores it.
  virtual void SetTitle(std::string_view title) = 0;
  virtual void RequestSize(int rows, int columns) = 0;
  // Only a console window has these: the icon by the system's identifier
  // (the program's own icon stands for the standard application icon), and
  // a window-menu entry removed by its command identifier.
  virtual void SetIcon(int) {}
  virtual void RemoveWindowMenuEntry(int) {}
};

}  // namespace quenlow::console
