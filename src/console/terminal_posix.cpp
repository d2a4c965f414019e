// The one place that speaks curses: it takes the terminal, draws the logical
// 80x28 screen at its top-left corner, reads keys and gives the terminal back
// on every way out.
#include "console/terminal.h"

#include <langinfo.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <string_view>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>

#include "platform/interruption_watch.h"

namespace quenlow::console {
namespace {

constexpr int kRows = 28;
constexpr int kColumns = 80;
constexpr int kEscapeDelayMs = 25;
constexpr int kMaxReadFailures = 100;
constexpr int kResizePollMs = 100;
constexpr const char* kEnlargeRequest =
    "Please make the terminal at least 80 columns wide and 28 rows high.";

// Terminals known to take the title and window-size sequences of xterm.
constexpr std::array<std::string_view, 11> kXtermLike = {
    "xterm", "screen", "tmux", "rxvt", "alacritty", "foot", "kitty", "vte", "gnome", "konsole", "wezterm"};

SCREEN* screen = nullptr;

void WriteRaw(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

bool XtermLike() {
  const char* term = std::getenv("TERM");
  if (term == nullptr) return false;
  for (std::string_view prefix : kXtermLike) {
    if (std::string_view(term).starts_with(prefix)) return true;
  }
  return false;
}

// The terminal's modes before curses took it, and the sequences that give
// its screen back, saved at the start for the way out on a signal: curses'
// own endwin is not safe beside another thread that is drawing, and it frees
// memory, which a signal handler must not.
termios shellModes{};
bool haveShellModes = false;
std::array<char, 512> leaveSequence{};
std::size_t leaveLength = 0;

void SaveLeaveSequence() {
  leaveLength = 0;
  for (const char* capability : {"rmkx", "sgr0", "cnorm", "rmcup"}) {
    const char* sequence = tigetstr(const_cast<char*>(capability));
    if (sequence == nullptr || sequence == reinterpret_cast<char*>(-1)) continue;
    const std::size_t length = std::strlen(sequence);
    if (leaveLength + length > leaveSequence.size()) break;
    std::memcpy(leaveSequence.data() + leaveLength, sequence, length);
    leaveLength += length;
  }
}

// Set once the saved sequences and modes are ready, cleared when curses has
// given the terminal back; read by the thread that ends the program on a
// signal.
std::atomic<bool> terminalTaken{false};

// Used on the normal way out: curses gives the terminal's modes, screen and
// title back.
void Leave() {
  if (screen != nullptr) {
    terminalTaken.store(false);
    curs_set(1);
    endwin();
    delscreen(screen);
    screen = nullptr;
  }
}

// File names are typed as UTF-8; a bare C locale would split their characters
// into bytes, so it is widened to its UTF-8 form.
void SetUpLocale() {
  std::setlocale(LC_ALL, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0 &&
      std::strcmp(nl_langinfo(CODESET), "ANSI_X3.4-1968") == 0) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
}

// Palette numbers (bit 0 blue, bit 1 green, bit 2 red, bit 3 bright) to
// curses colours (bit 0 red, bit 2 blue). A terminal of 8 colours loses the
// bright bit, and where foreground and background then meet the foreground
// turns black or white, whichever stands out.
std::pair<short, short> TerminalPair(int foreground, int background) {
  auto base = [](int c) { return ((c & 1) << 2) | (c & 2) | ((c & 4) >> 2); };
  if (COLORS >= 16) {
    return {static_cast<short>(base(foreground) | (foreground & 8)),
            static_cast<short>(base(background) | (background & 8))};
  }
  short fg = static_cast<short>(base(foreground));
  const short bg = static_cast<short>(base(background));
  if (fg == bg) fg = bg == COLOR_BLACK ? COLOR_WHITE : COLOR_BLACK;
  return {fg, bg};
}

// Control characters and characters that do not take exactly one cell are
// shown by a stand-in, so that every character keeps to its own cell.
wchar_t Glyph(char32_t ch) {
  if (ch < 0x20) return static_cast<wchar_t>(0x2400 + ch);
  if (ch == 0x7F) return static_cast<wchar_t>(0x2421);
  if (wcwidth(static_cast<wchar_t>(ch)) != 1) return static_cast<wchar_t>(0xFFFD);
  return static_cast<wchar_t>(ch);
}

const cchar_t* LineGlyph(char32_t ch) {
  switch (ch) {
    case U'\u2500': return WACS_HLINE;
    case U'\u2502': return WACS_VLINE;
    case U'\u250C': return WACS_ULCORNER;
    case U'\u2510': return WACS_URCORNER;
    case U'\u2514': return WACS_LLCORNER;
    case U'\u2518': return WACS_LRCORNER;
    default: return nullptr;
  }
}

class TerminalBackend final : public ConsoleBackend {
 public:
  TerminalBackend() { CheckSize(); }

  void PutCell(int row, int column, const Cell& cell) override {
    cells_[row - 1][column - 1] = cell;
    if (!tooSmall_) DrawCell(row, column);
  }

  void PlaceCursor(int row, int column, bool visible) override {
    cursorRow_ = row;
    cursorColumn_ = column;
    cursorVisible_ = visible;
  }

  void Flush() override {
    if (tooSmall_) {
      curs_set(0);
    } else {
      move(cursorRow_ - 1, cursorColumn_ - 1);
      curs_set(cursorVisible_ ? 1 : 0);
    }
    refresh();
  }

  std::optional<Key> ReadKey(int timeoutMs) override {
    int failures = 0;
    for (;;) {
      // An endless wait is made of short ones: curses notices a resize only
      // when a timed wait is interrupted, while a plain blocking read would
      // sleep through it until the next key.
      timeout(timeoutMs >= 0 ? timeoutMs : kResizePollMs);
      wint_t wch = 0;
      const auto asked = std::chrono::steady_clock::now();
      const int result = get_wch(&wch);
      if (result == ERR) {
        if (timeoutMs >= 0) return std::nullopt;
        // A wait that keeps ending at once, with no key, means the terminal
        // has gone away: leave as on a hang-up.
        const bool atOnce = std::chrono::steady_clock::now() - asked < std::chrono::milliseconds(kResizePollMs / 4);
        if (atOnce && ++failures > kMaxReadFailures) platform::StopAsOnHangUp();
        if (!atOnce) failures = 0;
        continue;
      }
      failures = 0;
      if (result == KEY_CODE_YES && wch == KEY_RESIZE) {
        CheckSize();
        Redraw();
        continue;
      }
      // Keys typed while the screen cannot be seen are not taken.
      if (tooSmall_) continue;
      if (result == KEY_CODE_YES) {
        if (wch == KEY_BACKSPACE) return Key{Key::Kind::Backspace, 0};
        if (wch == KEY_ENTER) return Key{Key::Kind::Enter, 0};
        return Key{Key::Kind::NonCharacter, 0};
      }
      return Key{Key::Kind::Character, static_cast<char32_t>(wch)};
    }
  }

  void Bell() override {
    beep();
    refresh();
  }

  void SetTitle(std::string_view title) override {
    const char* tsl = tigetstr(const_cast<char*>("tsl"));
    const bool hasTitle = tsl != nullptr && tsl != reinterpret_cast<char*>(-1);
    if (!XtermLike() && !hasTitle) return;
    // One write, so the sequence reaches the terminal whole. The old title
    // is saved and put back by the terminal's own screen-mode sequences.
    refresh();
    WriteRaw("\033]2;" + std::string(title) + "\007");
  }

  void RequestSize(int rows, int columns) override {
    if (!XtermLike() || (LINES >= rows && COLS >= columns)) return;
    refresh();
    const std::string request = "\033[8;" + std::to_string(std::max(LINES, rows)) + ";" +
                                std::to_string(std::max(COLS, columns)) + "t";
    WriteRaw(request);
  }

 private:
  void CheckSize() { tooSmall_ = LINES < kRows || COLS < kColumns; }

  short PairFor(int foreground, int background) {
    if (!has_colors()) return 0;
    short& pair = pairs_[foreground][background];
    if (pair == 0 && nextPair_ < COLOR_PAIRS) {
      const auto [fg, bg] = TerminalPair(foreground, background);
      init_pair(nextPair_, fg, bg);
      pair = nextPair_++;
    }
    return pair;
  }

  void DrawCell(int row, int column) {
    const Cell& cell = cells_[row - 1][column - 1];
    const short pair = PairFor(cell.foreground, cell.background);
    if (const cchar_t* line = LineGlyph(cell.ch)) {
      cchar_t drawn = *line;
      attr_t attributes = 0;
      short ignored = 0;
      wchar_t text[CCHARW_MAX + 1] = {};
      getcchar(line, text, &attributes, &ignored, nullptr);
      setcchar(&drawn, text, attributes, pair, nullptr);
      mvadd_wch(row - 1, column - 1, &drawn);
      return;
    }
    const wchar_t text[2] = {Glyph(cell.ch), 0};
    cchar_t drawn;
    setcchar(&drawn, text, A_NORMAL, pair, nullptr);
    mvadd_wch(row - 1, column - 1, &drawn);
  }

  void Redraw() {
    erase();
    if (tooSmall_) {
      mvaddstr(0, 0, kEnlargeRequest);
    } else {
      for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kColumns; ++c) DrawCell(r, c);
      }
    }
    Flush();
  }

  std::array<std::array<Cell, kColumns>, kRows> cells_{};
  std::array<std::array<short, 16>, 16> pairs_{};
  short nextPair_ = 1;
  int cursorRow_ = 1;
  int cursorColumn_ = 1;
  bool cursorVisible_ = true;
  bool tooSmall_ = false;
};

TerminalBackend* backend = nullptr;

}  // namespace

// Only write and tcsetattr: safe in a signal handler and beside curses on
// another thread.
void GiveTerminalBackOnTheWayOut() {
  if (!terminalTaken.load()) return;
  WriteRaw(std::string_view(leaveSequence.data(), leaveLength));
  if (haveShellModes) tcsetattr(STDIN_FILENO, TCSADRAIN, &shellModes);
}

ConsoleBackend* OpenTerminal(std::string& error) {
  if (backend != nullptr) return backend;
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    error = "quenlow: standard input and output must be a terminal";
    return nullptr;
  }
  SetUpLocale();
  haveShellModes = tcgetattr(STDIN_FILENO, &shellModes) == 0;
  set_escdelay(kEscapeDelayMs);
  screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    const char* term = std::getenv("TERM");
    error = std::string("quenlow: cannot use the terminal type '") + (term ? term : "") + "'";
    return nullptr;
  }
  SaveLeaveSequence();
  terminalTaken.store(true);
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  intrflush(stdscr, FALSE);
  if (has_colors()) start_color();
  backend = new TerminalBackend();
  static const bool closeAtExit = std::atexit(CloseTerminal) == 0;
  (void)closeAtExit;
  return backend;
}

void CloseTerminal() {
  Leave();
  delete backend;
  backend = nullptr;
}

}  // namespace quenlow::console
