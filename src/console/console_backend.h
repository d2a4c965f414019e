// What the console needs from a terminal: cells and a cursor out, keys and
// the bell. The real terminal and the tests' in-memory screen both provide it.
#pragma once

#include <optional>
#include <string_view>

namespace quenlow::console {

// One character cell: a code point and its 16-colour palette pair.
struct Cell {
  char32_t ch = U' ';
  int foreground = 7;
  int background = 0;
  friend bool operator==(const Cell&, const Cell&) = default;
};

// A key as the terminal delivers it. `Character` carries the code point
// unchanged (control characters included); `Backspace` and `Enter` are the
// terminal's own key codes for them; `NonCharacter` is any other decoded key
// (arrows, function keys, Home, ...).
struct Key {
  enum class Kind { Character, Backspace, Enter, NonCharacter };
  Kind kind = Kind::NonCharacter;
  char32_t ch = 0;
};

class ConsoleBackend {
 public:
  virtual ~ConsoleBackend() = default;

  // Rows and columns count from 1.
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
