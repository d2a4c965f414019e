// The Windows console's own settings the program changes for its run and
// gives back as they were (terminal_windows.cpp): the window menu's entries
// it takes away, and the input mode. Windows only; apart from the backend so
// that they can be tested on a window and modes of a test's own.
#pragma once

#include <windows.h>

#include <array>

namespace quenlow::console {

// Entries taken from a window's menu (its system menu), remembered with
// their places so that exactly those are put back: the menu may hold
// entries of the console's own (Edit, Defaults, Properties) that a reset of
// the menu would lose for the rest of the window's life.
class RemovedMenuEntries {
 public:
  // Removes the entry of this command from the menu (a window's
  // GetSystemMenu(window, FALSE)), remembering it; false when the menu has
  // none. Entries of one menu only.
  bool Remove(HMENU menu, UINT command);
  // Puts every removed entry back where it was, the last removed first.
  // Allocates nothing: it runs on the way out of a stopped program.
  void PutBack();

 private:
  struct Entry {
    UINT position = 0;
    UINT id = 0;
    UINT type = 0;
    UINT state = 0;
    HBITMAP bitmap = nullptr;
    std::array<wchar_t, 128> text{};
  };
  HMENU menu_ = nullptr;
  std::array<Entry, 16> entries_{};
  int count_ = 0;
};

// The input mode for the run: Ctrl+C a stop request, keys one at a time
// without echo, size changes reported, and QuickEdit off, so that a click in
// the window does not hold the program's next write until Enter or Escape.
DWORD InputModeForTheRun();
// The mode to give back: the one the console had. Its QuickEdit and insert
// settings only take effect with ENABLE_EXTENDED_FLAGS, which is added
// where the console reported those settings.
DWORD InputModeToGiveBack(DWORD before);

}  // namespace quenlow::console
