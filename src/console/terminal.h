// The real terminal behind the console: curses on POSIX (terminal_posix.cpp,
// the only file that speaks curses), the Win32 console on Windows
// (terminal_windows.cpp).
#pragma once

#include <string>

#include "console/console_backend.h"

namespace quenlow::console {

// Takes the terminal: locale, curses screen, colours. On failure returns
// nothing and `error` says why in one line; nothing has then been written to
// the terminal.
ConsoleBackend* OpenTerminal(std::string& error);
// Gives the terminal back for a program about to end at once (on Ctrl+C, a
// hang-up or a termination request), from any thread: on POSIX without
// curses, only write and tcsetattr, with what was saved when the terminal
// was taken.
void GiveTerminalBackOnTheWayOut();
// Gives the terminal back; safe to call when it was never taken.
void CloseTerminal();

}  // namespace quenlow::console
