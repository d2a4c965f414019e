// The window dressing and message box of the dialogue, under the names the
// program has always called them by, each given the nearest meaning a
// terminal or a Windows console has. They act on the active console and do
// nothing without one.
#pragma once

#include <cstdint>
#include <string>

namespace quenlow::console {

// Nothing to prepare; the arguments are taken and ignored.
void InitConsoleTools(void* instance, int, int, int, std::int32_t* state, int);
// Neither a terminal nor a console window has a tool bar.
void ConsoleToolBar(int, int);
// Sets the terminal window's title where the terminal has one. Returns the
// text the caller is handed back, always empty here.
std::string ConsoleTitle(const char* title);
// The window's icon, where it has one (a Windows console window).
void ConsoleIcon(int iconId);
// Removes an entry of the window menu by its command identifier, where
// there is one (a Windows console window); other values are ignored.
void DeleteWindowMenuItem(int item);
// Asks the terminal window for 80 columns and this many rows, where it is
// smaller and honours such a request; makes a Windows console's buffer and
// window exactly that size, where the console allows it. Where the window
// stays smaller, the screen asks the user to enlarge it.
void Console80x(int rows);
// The window keeps the place the user or the system gave it.
void ConsoleMove(int x, int y);
// The framed message box; returns once the user has closed it.
void ConsoleMessageBox(const char* text, int, const char* title, int, int);

}  // namespace quenlow::console
