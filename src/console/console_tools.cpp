#include "console/console_tools.h"

#include "console/console.h"
#include "console/message_box.h"

namespace quenlow::console {

void InitConsoleTools(void*, int, int, int, std::int32_t*, int) {}

void ConsoleToolBar(int, int) {}

std::string ConsoleTitle(const char* title) {
  if (Console* console = ActiveConsole(); console != nullptr && title != nullptr) {
    console->Backend().SetTitle(title);
  }
  return {};
}

void ConsoleIcon(int iconId) {
  if (Console* console = ActiveConsole()) console->Backend().SetIcon(iconId);
}

void DeleteWindowMenuItem(int item) {
  if (Console* console = ActiveConsole()) console->Backend().RemoveWindowMenuEntry(item);
}

void Console80x(int rows) {
  if (Console* console = ActiveConsole(); console != nullptr && rows > 0) {
    console->Backend().RequestSize(rows, Console::kColumns);
  }
}

void ConsoleMove(int, int) {}

void ConsoleMessageBox(const char* text, int, const char* title, int, int) {
  if (Console* console = ActiveConsole(); console != nullptr) {
    ShowMessageBox(*console, text ? text : "", title ? title : "");
  }
}

}  // namespace quenlow::console
