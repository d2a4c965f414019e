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

MenuEntries EntriesOf(HMENU menu) {
  MenuEntries entries;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 127, MF_BYPOSITION);
    entries.emplace_back(GetMenuItemID(menu, i), text);
  }
  return entries;
}

// A console window's menu as the console makes it: the system's entries and
// the console's own after them. Only those the program took away come back,
// and the console's stay.
TEST(ConsoleSettings, GivesTheWindowMenuBackExactlyAsItWas) {
  const HMENU menu = CreatePopupMenu();
  ASSERT_NE(menu, nullptr);
  for (const auto& [id, text] : {std::pair{SC_RESTORE, L"&Restore"}, std::pair{SC_MOVE, L"&Move"},
                                 std::pair{SC_SIZE, L"&Size"}, std::pair{SC_MINIMIZE, L"Mi&nimize"},
                                 std::pair{SC_MAXIMIZE, L"Ma&ximize"}, std::pair{SC_CLOSE, L"&Close"}}) {
    AppendMenuW(menu, MF_STRING, id, text);
  }
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING | MF_GRAYED, 0xFFF2, L"&Edit");
  AppendMenuW(menu, MF_STRING, 0xFFF3, L"&Properties");
  const MenuEntries before = EntriesOf(menu);
  const UINT greyed = GetMenuState(menu, 0xFFF2, MF_BYCOMMAND);

  RemovedMenuEntries removed;
  EXPECT_TRUE(removed.Remove(menu, SC_MAXIMIZE));
  EXPECT_TRUE(removed.Remove(menu, SC_SIZE));
  EXPECT_FALSE(removed.Remove(menu, 0x1234)) << "no such entry";
  const MenuEntries during = EntriesOf(menu);
  EXPECT_EQ(during.size() + 2, before.size());
  for (const auto& [id, text] : during) EXPECT_TRUE(id != SC_MAXIMIZE && id != SC_SIZE);

  removed.PutBack();
  EXPECT_EQ(EntriesOf(menu), before);
  EXPECT_EQ(GetMenuState(menu, 0xFFF2, MF_BYCOMMAND), greyed);
  removed.PutBack();  // a second time puts nothing more
  EXPECT_EQ(EntriesOf(menu), before);
  DestroyMenu(menu);
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
