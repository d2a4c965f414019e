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
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
// Last: its names of terminal capabilities are macros (columns, lines, ...).
#include <term.h>

#include "console/screen_size.h"
#include "platform/interruption_watch.h"

namespace quenlow::console {
namespace {

constexpr int kRows = kScreenRows;
constexpr int kColumns = kScreenColumns;
constexpr int kEscapeDelayMs = 25;
constexpr int kMaxReadFailures = 100;
constexpr int kResizePollMs = 100;
// The bytes of one character come in one write; a byte still missing after
// this long is not coming.
constexpr int kCharacterFollowMs = 30;
constexpr char32_t kReplacement = 0xFFFD;
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

// A terminal description may ask for a pause after a sequence ("$<2>",
// "$<5*/>"): curses waits it out, but written raw the request would show as
// text. No terminal still in use needs the pause, so it is left out.
std::string WithoutPadding(std::string_view sequence) {
  std::string out;
  std::size_t i = 0;
  while (i < sequence.size()) {
    if (sequence.substr(i, 2) == "$<") {
      const std::size_t end = sequence.find('>', i + 2);
      const std::string_view delay = sequence.substr(i + 2, end == std::string_view::npos ? 0 : end - i - 2);
      if (!delay.empty() && delay.find_first_not_of("0123456789.*/") == std::string_view::npos) {
        i = end + 1;
        continue;
      }
    }
    out.push_back(sequence[i++]);
  }
  return out;
}

void SaveLeaveSequence() {
  leaveLength = 0;
  for (const char* capability : {"rmkx", "sgr0", "cnorm", "rmcup"}) {
    const char* found = tigetstr(const_cast<char*>(capability));
    if (found == nullptr || found == reinterpret_cast<char*>(-1)) continue;
    const std::string sequence = WithoutPadding(found);
    if (leaveLength + sequence.size() > leaveSequence.size()) break;
    std::memcpy(leaveSequence.data() + leaveLength, sequence.data(), sequence.size());
    leaveLength += sequence.size();
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

// Control characters, and characters the locale's tables do not know, are
// shown by a stand-in of one cell, so that every character takes the cells
// the console gave it.
wchar_t Glyph(char32_t ch) {
  if (ch < 0x20) return static_cast<wchar_t>(0x2400 + ch);
  if (ch == 0x7F) return static_cast<wchar_t>(0x2421);
  const int width = wcwidth(static_cast<wchar_t>(ch));
  if (width == 1 || width == 2) return static_cast<wchar_t>(ch);
  return wcwidth(static_cast<wchar_t>(kReplacement)) == 1 ? static_cast<wchar_t>(kReplacement) : L'?';
}

// A cell's character and the combining marks over it, as curses takes them.
std::array<wchar_t, CCHARW_MAX + 1> CellText(const Cell& cell) {
  std::array<wchar_t, CCHARW_MAX + 1> text{};
  text[0] = Glyph(cell.ch);
  std::size_t length = 1;
  if (static_cast<char32_t>(text[0]) != cell.ch) return text;
  for (char32_t mark : cell.marks) {
    if (mark == 0 || length == CCHARW_MAX || wcwidth(static_cast<wchar_t>(mark)) != 0) continue;
    text[length++] = static_cast<wchar_t>(mark);
  }
  return text;
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
  TerminalBackend() {
    CheckSize();
    if (tooSmall_) ShowEnlargeRequest();
  }

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
    const std::optional<int> code = ReadCode(timeoutMs);
    if (!code) return std::nullopt;
    if (*code == KEY_BACKSPACE) return Key{Key::Kind::Backspace, 0, {}};
    if (*code == KEY_ENTER) return Key{Key::Kind::Enter, 0, {}};
    if (*code > 0xFF) return Key{Key::Kind::NonCharacter, 0, {}};
    return DecodeCharacter(static_cast<unsigned char>(*code));
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

  void RequestSize(int rowsWanted, int columnsWanted) override {
    if (!XtermLike() || (LINES >= rowsWanted && COLS >= columnsWanted)) return;
    refresh();
    const std::string request = "\033[8;" + std::to_string(std::max(LINES, rowsWanted)) + ";" +
                                std::to_string(std::max(COLS, columnsWanted)) + "t";
    WriteRaw(request);
  }

 private:
  void CheckSize() { tooSmall_ = LINES < kRows || COLS < kColumns; }

  // The next byte of input or decoded key (curses' KEY_ codes), bytes put
  // back first.
  std::optional<int> ReadCode(int timeoutMs) {
    if (!pending_.empty()) {
      const int code = pending_.front();
      pending_.pop_front();
      return code;
    }
    int failures = 0;
    for (;;) {
      // An endless wait is made of short ones: curses notices a resize only
      // when a timed wait is interrupted, while a plain blocking read would
      // sleep through it until the next key.
      timeout(timeoutMs >= 0 ? timeoutMs : kResizePollMs);
      const auto asked = std::chrono::steady_clock::now();
      const int code = getch();
      if (code == ERR) {
        if (timeoutMs >= 0) return std::nullopt;
        // A wait that keeps ending at once, with no key, means the terminal
        // has gone away: leave as on a hang-up.
        const bool atOnce = std::chrono::steady_clock::now() - asked < std::chrono::milliseconds(kResizePollMs / 4);
        if (atOnce && ++failures > kMaxReadFailures) platform::StopAsOnHangUp();
        if (!atOnce) failures = 0;
        continue;
      }
      failures = 0;
      if (code == KEY_RESIZE) {
        CheckSize();
        Redraw();
        continue;
      }
      // Keys typed while the screen cannot be seen are not taken.
      if (tooSmall_) continue;
      return code;
    }
  }

  // Bytes are put together into a character by the locale's own rules. A
  // byte that starts no character, or whose character does not come whole,
  // stands alone as U+FFFD and keeps its place in the name; the bytes after
  // it are read again, so that nothing typed after it is lost.
  Key DecodeCharacter(unsigned char first) {
    std::string bytes(1, static_cast<char>(first));
    std::mbstate_t state{};
    for (;;) {
      wchar_t wc = 0;
      const std::size_t result = std::mbrtowc(&wc, &bytes.back(), 1, &state);
      if (result == static_cast<std::size_t>(-2)) {
        const std::optional<int> next = ReadCode(kCharacterFollowMs);
        if (next && *next <= 0xFF) {
          bytes.push_back(static_cast<char>(*next));
          continue;
        }
        if (next) pending_.push_front(*next);
        break;
      }
      if (result == static_cast<std::size_t>(-1)) break;
      return Key{Key::Kind::Character, static_cast<char32_t>(wc), bytes};
    }
    for (std::size_t i = bytes.size(); i-- > 1;) pending_.push_front(static_cast<unsigned char>(bytes[i]));
    return Key{Key::Kind::Character, kReplacement, bytes.substr(0, 1)};
  }

  // The request, broken between words to the terminal's width.
  void ShowEnlargeRequest() {
    erase();
    std::string_view text = kEnlargeRequest;
    const std::size_t width = static_cast<std::size_t>(std::max(COLS, 1));
    for (int row = 0; !text.empty() && row < LINES; ++row) {
      std::size_t cut = text.size();
      if (cut > width) {
        cut = text.rfind(' ', width);
        if (cut == std::string_view::npos || cut == 0) cut = width;
      }
      mvaddnstr(row, 0, text.data(), static_cast<int>(cut));
      text.remove_prefix(cut);
      while (text.starts_with(' ')) text.remove_prefix(1);
    }
  }

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

  // The right half of a wide character is drawn with its left half.
  void DrawCell(int row, int column) {
    const Cell& cell = cells_[row - 1][column - 1];
    if (cell.ch == kRightHalf) return;
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
    const std::array<wchar_t, CCHARW_MAX + 1> text = CellText(cell);
    cchar_t drawn;
    setcchar(&drawn, text.data(), A_NORMAL, pair, nullptr);
    mvadd_wch(row - 1, column - 1, &drawn);
  }

  void Redraw() {
    if (tooSmall_) {
      ShowEnlargeRequest();
    } else {
      erase();
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
  std::deque<int> pending_;
};

TerminalBackend* backend = nullptr;

std::string UnusableTerminal(std::string_view why) {
  const char* term = std::getenv("TERM");
  return std::string("quenlow: cannot use the terminal type '") + (term ? term : "") + "'" + std::string(why);
}

// The dialogue is a form drawn at fixed places: a terminal that cannot move
// its cursor (a dumb one, a printing one) would run its rows together and
// hide the box of every refusal. It is refused, before anything is written,
// like a terminal type nobody knows.
bool CanPlaceTheCursor(std::string& error) {
  int status = 0;
  if (setupterm(nullptr, STDOUT_FILENO, &status) != OK) {
    error = UnusableTerminal("");
    return false;
  }
  const char* place = tigetstr(const_cast<char*>("cup"));
  const bool canPlace = place != nullptr && place != reinterpret_cast<char*>(-1) &&
                        tigetflag(const_cast<char*>("hc")) <= 0;
  del_curterm(cur_term);
  if (!canPlace) error = UnusableTerminal(": it cannot place the cursor");
  return canPlace;
}

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
  if (!CanPlaceTheCursor(error)) return nullptr;
  haveShellModes = tcgetattr(STDIN_FILENO, &shellModes) == 0;
  set_escdelay(kEscapeDelayMs);
  screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    error = UnusableTerminal("");
    return nullptr;
  }
  SaveLeaveSequence();
  terminalTaken.store(true);
  cbreak();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  intrflush(stdscr, FALSE);
  if (has_colors()) {
    start_color();
    // Whatever lies outside the dialogue's 80x28 keeps the terminal's own
    // colours, light or dark.
    use_default_colors();
  }
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
