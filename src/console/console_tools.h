// The window dressing and message box of the dialogue, under the names the
// program has always called them by, each given the nearest meaning a
// terminal has. They act on the active console and do nothing without one.
#pragma once

#include <cstdint>
#include <string>

namespace quenlow::console {

// Nothing to prepare on a terminal; the arguments are taken and ignored.
void InitConsoleTools(void* instance, int, int, int, std::int32_t* state, int);
// A terminal has no tool bar.
void ConsoleToolBar(int, int);
// Sets the terminal window's title where the terminal has one. Returns the
// text the caller is handed back, always empty here.
std::string ConsoleTitle(const char* title);
// A terminal has no window icon.
void ConsoleIcon(int iconId);
// A terminal has no window menu.
void DeleteWindowMenuItem(int item);
// Asks the terminal window for 80 columns and this many rows, where it is
// smaller and honours such a request.
void Console80x(int rows);
// A terminal cannot be placed from inside.
void ConsoleMove(int x, int y);
// The framed message box; returns once the user has closed it.
void ConsoleMessageBox(const char* text, int, const char* title, int, int);

}  // namespace quenlow::console
