// The real terminal behind the console. Only terminal.cpp speaks curses.
#pragma once

#include <string>

#include "console/console_backend.h"

namespace quenlow::console {

// Takes the terminal: locale, signal handlers, curses screen, colours. On
// failure returns nothing and `error` says why in one line; nothing has then
// been written to the terminal.
ConsoleBackend* OpenTerminal(std::string& error);
// A function for the signal handlers to call before the program ends on
// Ctrl+C, a hang-up or a termination request. It must be safe in a signal
// handler.
void SetInterruptCleanup(void (*cleanup)());
// Gives the terminal back; safe to call when it was never taken.
void CloseTerminal();

}  // namespace quenlow::console
