#include "console/console_settings_windows.h"

namespace quenlow::console {

bool RemovedMenuEntries::Remove(HMENU menu, UINT command) {
  if (menu == nullptr || (menu_ != nullptr && menu != menu_)) return false;
  const int items = GetMenuItemCount(menu);
  for (int position = 0; position < items; ++position) {
    if (GetMenuItemID(menu, position) != command) continue;
    Entry entry;
    entry.position = static_cast<UINT>(position);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_BITMAP;
    info.dwTypeData = entry.text.data();
    info.cch = static_cast<UINT>(entry.text.size() - 1);
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) return false;
    entry.id = info.wID;
    entry.type = info.fType;
    entry.state = info.fState;
    entry.bitmap = info.hbmpItem;
    // Too many to remember: the entry stays rather than being lost.
    if (count_ == static_cast<int>(entries_.size())) return false;
    if (!DeleteMenu(menu, static_cast<UINT>(position), MF_BYPOSITION)) return false;
    menu_ = menu;
    entries_[static_cast<std::size_t>(count_++)] = entry;
    return true;
  }
  return false;
}

void RemovedMenuEntries::PutBack() {
  for (; count_ > 0; --count_) {
    Entry& entry = entries_[static_cast<std::size_t>(count_ - 1)];
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_BITMAP;
    info.wID = entry.id;
    info.fType = entry.type;
    info.fState = entry.state;
    info.hbmpItem = entry.bitmap;
    info.dwTypeData = entry.text.data();
    InsertMenuItemW(menu_, entry.position, TRUE, &info);
  }
}

DWORD InputModeForTheRun() { return ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_EXTENDED_FLAGS; }

DWORD InputModeToGiveBack(DWORD before) {
  const bool reported = (before & (ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE | ENABLE_EXTENDED_FLAGS)) != 0;
  return reported ? before | ENABLE_EXTENDED_FLAGS : before;
}

}  // namespace quenlow::console
