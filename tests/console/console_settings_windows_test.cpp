// The console settings the program changes for its run and gives back, on
// a window of the test's own (run under Wine).
#include "console/console_settings_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quenlow::console {
namespace {

using MenuEntries = std::vector<std::pair<UINT, std::wstring>>;

MenuEntries EntriesOf(HWND window) {
  const HMENU menu = GetSystemMenu(window, FALSE);
  MenuEntries entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 127, MF_BYPOSITION);
    entries.emplace_back(GetMenuItemID(menu, i), text);
  }
  return entries;
}

// The console adds entries of its own to its window's menu; only those the
// program took away come back, and the console's stay.
TEST(ConsoleSettings, GivesTheWindowMenuBackExactlyAsItWas) {
  const HWND window = CreateWindowExW(0, L"STATIC", L"quenlow test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) GTEST_SKIP() << "no window can be made here";
  const HMENU menu = GetSystemMenu(window, FALSE);
  ASSERT_NE(menu, nullptr);
  constexpr UINT kConsoleOwn = 0xFFF0;
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kConsoleOwn, L"Properties");
  const MenuEntries before = EntriesOf(window);

  RemovedMenuEntries removed;
  EXPECT_TRUE(removed.Remove(window, SC_MAXIMIZE));
  EXPECT_TRUE(removed.Remove(window, SC_SIZE));
  EXPECT_FALSE(removed.Remove(window, 0x1234)) << "no such entry";
  const MenuEntries during = EntriesOf(window);
  EXPECT_EQ(during.size() + 2, before.size());
  for (const auto& [id, text] : during) EXPECT_TRUE(id != SC_MAXIMIZE && id != SC_SIZE);

  removed.PutBack();
  EXPECT_EQ(EntriesOf(window), before);
  removed.PutBack();  // a second time puts nothing more
  EXPECT_EQ(EntriesOf(window), before);
  DestroyWindow(window);
}

TEST(ConsoleSettings, TurnsQuickEditOffForTheRunAndGivesTheModeBack) {
  const DWORD run = InputModeForTheRun();
  EXPECT_EQ(run & (ENABLE_QUICK_EDIT_MODE | ENABLE_ECHO_INPUT | ENABLE_LINE_INPUT), 0u);
  EXPECT_NE(run & ENABLE_EXTENDED_FLAGS, 0u) << "without it QuickEdit stays as it was";
  EXPECT_NE(run & ENABLE_PROCESSED_INPUT, 0u) << "Ctrl+C stays a stop request";
  struct Case {
    DWORD before, back;
  };
  constexpr DWORD kCooked = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT;
  for (const Case& c : {
           Case{kCooked | ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE | ENABLE_EXTENDED_FLAGS,
                kCooked | ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE | ENABLE_EXTENDED_FLAGS},
           // QuickEdit reported without the flag that makes it count.
           Case{kCooked | ENABLE_QUICK_EDIT_MODE, kCooked | ENABLE_QUICK_EDIT_MODE | ENABLE_EXTENDED_FLAGS},
           Case{kCooked | ENABLE_EXTENDED_FLAGS, kCooked | ENABLE_EXTENDED_FLAGS},  // both off, as the user had
           Case{kCooked, kCooked},  // a console that reports neither is left to keep its own
       }) {
    EXPECT_EQ(InputModeToGiveBack(c.before), c.back) << std::hex << c.before;
  }
}

}  // namespace
}  // namespace quenlow::console
