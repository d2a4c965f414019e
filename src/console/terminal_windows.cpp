// The Windows console behind the console: the logical 80x28 screen is drawn
// into a screen buffer of the program's own, keys come from
// ReadConsoleInputW, and the user's buffer, title, modes and window menu are
// given back on every way out.
#include "console/terminal.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "console/console_settings_windows.h"
#include "console/key_decoder_windows.h"
#include "console/screen_size.h"
#include "platform/interruption_watch.h"
#include "platform/wide_text.h"

namespace quenlow::console {
namespace {

constexpr int kRows = kScreenRows;
constexpr int kColumns = kScreenColumns;
constexpr int kMaxReadFailures = 100;
constexpr int kProgramIcon = 1;  // the icon resource of quenlow.exe
constexpr UINT kWindowReplyMs = 500;
constexpr std::wstring_view kEnlargeRequest =
    L"Please make the window at least 80 columns wide and 28 rows high.";
constexpr WORD kRequestAttributes = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;

// What the console was before the program took it, for the way back.
struct SavedConsole {
  HANDLE input = INVALID_HANDLE_VALUE;
  HANDLE output = INVALID_HANDLE_VALUE;  // the user's screen buffer
  DWORD inputMode = 0;
  std::array<wchar_t, 1024> title{};  // empty when the console had none
  CONSOLE_CURSOR_INFO cursor{25, TRUE};
  HWND window = nullptr;
  RemovedMenuEntries menu;
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  bool iconChanged = false;
};

SavedConsole saved;
// Set while the program holds the console; read by the thread that ends the
// program on Ctrl+C or a closed window.
std::atomic<bool> consoleTaken{false};

// A console shown in a window of its own has a visible window; one drawn by
// a terminal (Windows Terminal, an SSH session, Wine in a terminal) has none
// or a hidden one, and hears only a BEL.
bool ShownByATerminal() {
  const HWND window = GetConsoleWindow();
  return window == nullptr || !IsWindowVisible(window);
}

// Palette numbers and console attributes agree bit for bit: blue, green,
// red, bright; the background four bits higher.
WORD Attributes(const Cell& cell) {
  return static_cast<WORD>((cell.foreground & 0xF) | ((cell.background & 0xF) << 4));
}

// Control characters and characters outside the console's 16 bits are shown
// by a stand-in, so that every character keeps to its own cell.
wchar_t Glyph(char32_t ch) {
  if (ch < 0x20) return static_cast<wchar_t>(0x2400 + ch);
  if (ch == 0x7F) return static_cast<wchar_t>(0x2421);
  if (ch > 0xFFFF || (ch >= 0xD800 && ch <= 0xDFFF)) return static_cast<wchar_t>(0xFFFD);
  return static_cast<wchar_t>(ch);
}

class ConsoleWindowBackend final : public ConsoleBackend {
 public:
  ConsoleWindowBackend(HANDLE input, HANDLE screen) : input_(input), screen_(screen) {
    CONSOLE_CURSOR_INFO cursor{};
    if (GetConsoleCursorInfo(screen_, &cursor)) cursorSize_ = cursor.dwSize;
    CheckSize();
  }

  // A two-cell character is the console's leading and trailing half of one
  // character; marks over a character have no place in a console cell.
  void PutCell(int row, int column, const Cell& cell) override {
    CHAR_INFO& out = cells_[(row - 1) * kColumns + (column - 1)];
    out.Attributes = Attributes(cell);
    if (cell.ch == kRightHalf && column > 1) {
      CHAR_INFO& left = cells_[(row - 1) * kColumns + (column - 2)];
      left.Attributes |= COMMON_LVB_LEADING_BYTE;
      out.Char.UnicodeChar = left.Char.UnicodeChar;
      out.Attributes |= COMMON_LVB_TRAILING_BYTE;
    } else {
      out.Char.UnicodeChar = Glyph(cell.ch == kRightHalf ? U' ' : cell.ch);
    }
    dirty_ = true;
  }

  void PlaceCursor(int row, int column, bool visible) override {
    cursorRow_ = row;
    cursorColumn_ = column;
    cursorVisible_ = visible;
  }

  void Flush() override {
    if (tooSmall_) {
      ShowCursor(false);
      return;
    }
    if (dirty_) {
      SMALL_RECT area{0, 0, kColumns - 1, kRows - 1};
      WriteConsoleOutputW(screen_, cells_.data(), COORD{kColumns, kRows}, COORD{0, 0}, &area);
      dirty_ = false;
    }
    SetConsoleCursorPosition(screen_, COORD{static_cast<SHORT>(cursorColumn_ - 1), static_cast<SHORT>(cursorRow_ - 1)});
    ShowCursor(cursorVisible_);
  }

  std::optional<Key> ReadKey(int timeoutMs) override {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
    int failures = 0;
    for (;;) {
      if (repeats_ > 0) {
        --repeats_;
        return repeated_;
      }
      DWORD wait = INFINITE;
      if (timeoutMs >= 0) {
        const ULONGLONG now = GetTickCount64();
        wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
      }
      const DWORD waited = WaitForSingleObject(input_, wait);
      if (waited == WAIT_TIMEOUT) return std::nullopt;
      INPUT_RECORD record{};
      DWORD count = 0;
      if (waited != WAIT_OBJECT_0 || !ReadConsoleInputW(input_, &record, 1, &count) || count == 0) {
        // A console that keeps failing has gone away: leave as on a hang-up.
        if (++failures > kMaxReadFailures) platform::StopAsOnHangUp();
        Sleep(1);
        continue;
      }
      failures = 0;
      if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
        CheckSize();
        Redraw();
        continue;
      }
      if (record.EventType != KEY_EVENT) continue;
      const std::optional<Key> key = keys_.Decode(record.Event.KeyEvent);
      // Keys typed while the screen cannot be seen are not taken.
      if (!key || tooSmall_) continue;
      if (record.Event.KeyEvent.wRepeatCount > 1) {
        repeated_ = *key;
        repeats_ = record.Event.KeyEvent.wRepeatCount - 1;
      }
      return key;
    }
  }

  void Bell() override {
    MessageBeep(0);
    if (ShownByATerminal()) {
      DWORD written = 0;
      WriteConsoleW(screen_, L"\a", 1, &written, nullptr);
    }
  }

  void SetTitle(std::string_view title) override {
    SetConsoleTitleW(platform::WideText(title).c_str());
  }

  // Buffer and window of exactly the dialogue's size where the console
  // allows it; the window must always fit inside the buffer, so it shrinks
  // first. A console that refuses keeps its size, and the request to enlarge
  // the window stands until the user does.
  void RequestSize(int rows, int columns) override {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(screen_, &info)) {
      const COORD largest = GetLargestConsoleWindowSize(screen_);
      const bool fits = largest.X == 0 || (largest.X >= columns && largest.Y >= rows);
      if (fits) {
        const SHORT width = static_cast<SHORT>(std::min<int>(info.srWindow.Right - info.srWindow.Left + 1, columns));
        const SHORT height = static_cast<SHORT>(std::min<int>(info.srWindow.Bottom - info.srWindow.Top + 1, rows));
        SMALL_RECT inside{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
        SetConsoleWindowInfo(screen_, TRUE, &inside);
        SetConsoleScreenBufferSize(screen_, COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)});
        SMALL_RECT whole{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
        SetConsoleWindowInfo(screen_, TRUE, &whole);
      }
    }
    CheckSize();
    Redraw();
  }

  void SetIcon(int) override {
    const HWND window = GetConsoleWindow();
    if (window == nullptr) return;
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIcon));
    if (icon == nullptr) icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
    if (icon == nullptr) return;
    if (!saved.iconChanged) {
      saved.bigIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
      saved.smallIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
      saved.window = window;
      saved.iconChanged = true;
    }
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  }

  // Only command identifiers (restore, size, maximise, ...) name an entry.
  void RemoveWindowMenuEntry(int item) override {
    if (item <= 0) return;
    const HWND window = GetConsoleWindow();
    if (window == nullptr || !IsWindowVisible(window)) return;
    saved.menu.Remove(GetSystemMenu(window, FALSE), static_cast<UINT>(item));
  }

 private:
  void CheckSize() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen_, &info)) return;
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    const int height = info.srWindow.Bottom - info.srWindow.Top + 1;
    tooSmall_ = width < kColumns || height < kRows || info.dwSize.X < kColumns || info.dwSize.Y < kRows;
    if (!tooSmall_ && (info.srWindow.Left != 0 || info.srWindow.Top != 0)) {
      // The dialogue is drawn at the buffer's top-left corner: show it there.
      SMALL_RECT top{0, 0, static_cast<SHORT>(width - 1), static_cast<SHORT>(height - 1)};
      SetConsoleWindowInfo(screen_, TRUE, &top);
    }
  }

  void Redraw() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(screen_, &info)) {
      const DWORD all = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
      DWORD done = 0;
      FillConsoleOutputCharacterW(screen_, L' ', all, COORD{0, 0}, &done);
      FillConsoleOutputAttribute(screen_, kRequestAttributes, all, COORD{0, 0}, &done);
    }
    if (tooSmall_) {
      DWORD written = 0;
      WriteConsoleOutputCharacterW(screen_, kEnlargeRequest.data(), static_cast<DWORD>(kEnlargeRequest.size()),
                                   COORD{0, 0}, &written);
    }
    dirty_ = true;
    Flush();
  }

  void ShowCursor(bool visible) {
    const CONSOLE_CURSOR_INFO cursor{cursorSize_, visible ? TRUE : FALSE};
    SetConsoleCursorInfo(screen_, &cursor);
  }

  HANDLE input_;
  HANDLE screen_;
  std::array<CHAR_INFO, kRows * kColumns> cells_{};
  bool dirty_ = true;
  int cursorRow_ = 1;
  int cursorColumn_ = 1;
  bool cursorVisible_ = true;
  DWORD cursorSize_ = 25;
  bool tooSmall_ = false;
  KeyDecoder keys_;
  Key repeated_{};
  int repeats_ = 0;
};

ConsoleWindowBackend* backend = nullptr;
HANDLE ownScreen = INVALID_HANDLE_VALUE;

// Only calls that are safe from the thread the system starts for a control
// event, beside the main thread still drawing.
void GiveConsoleBack() {
  if (!consoleTaken.exchange(false)) return;
  if (ownScreen != INVALID_HANDLE_VALUE) SetConsoleActiveScreenBuffer(saved.output);
  // Set again, so that a console drawn by a terminal shows the cursor too.
  SetConsoleCursorInfo(saved.output, &saved.cursor);
  SetConsoleMode(saved.input, InputModeToGiveBack(saved.inputMode));
  SetConsoleTitleW(saved.title.data());
  saved.menu.PutBack();
  if (saved.iconChanged) {
    // The window may be closing: its owner is not waited on for long.
    for (const auto& [which, icon] : {std::pair{ICON_BIG, saved.bigIcon}, std::pair{ICON_SMALL, saved.smallIcon}}) {
      SendMessageTimeoutW(saved.window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon), SMTO_ABORTIFHUNG,
                          kWindowReplyMs, nullptr);
    }
  }
}

}  // namespace

void GiveTerminalBackOnTheWayOut() { GiveConsoleBack(); }

ConsoleBackend* OpenTerminal(std::string& error) {
  if (backend != nullptr) return backend;
  saved.input = GetStdHandle(STD_INPUT_HANDLE);
  saved.output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD outputMode = 0;
  if (!GetConsoleMode(saved.input, &saved.inputMode) || !GetConsoleMode(saved.output, &outputMode)) {
    error = "quenlow: standard input and output must be a console";
    return nullptr;
  }
  GetConsoleTitleW(saved.title.data(), static_cast<DWORD>(saved.title.size()));
  GetConsoleCursorInfo(saved.output, &saved.cursor);

  // A screen buffer of the program's own, like a terminal's alternate
  // screen: the user's buffer is shown again, untouched, on the way out.
  ownScreen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
  HANDLE screen = saved.output;
  if (ownScreen != INVALID_HANDLE_VALUE && SetConsoleActiveScreenBuffer(ownScreen)) {
    screen = ownScreen;
  } else if (ownScreen != INVALID_HANDLE_VALUE) {
    CloseHandle(ownScreen);
    ownScreen = INVALID_HANDLE_VALUE;
  }
  consoleTaken.store(true);
  SetConsoleMode(saved.input, InputModeForTheRun());
  backend = new ConsoleWindowBackend(saved.input, screen);
  static const bool closeAtExit = std::atexit(CloseTerminal) == 0;
  (void)closeAtExit;
  return backend;
}

void CloseTerminal() {
  GiveConsoleBack();
  delete backend;
  backend = nullptr;
  if (ownScreen != INVALID_HANDLE_VALUE) CloseHandle(ownScreen);
  ownScreen = INVALID_HANDLE_VALUE;
}

}  // namespace quenlow::console
