// How the system tells a program to stop: signals (Ctrl+C, a closed
// terminal, a termination request) on POSIX, console control events (Ctrl+C,
// Ctrl+Break, a closed window, log-off) on Windows.
// One implementation per system: interruption_watch_posix.cpp and
// interruption_watch_windows.cpp.
#pragma once

namespace quenlow::platform {

// What the program was told: Ctrl+C (on Windows Ctrl+Break too), or
// anything else (a closed terminal or window, a termination request).
enum class StopCause { Interrupt, Other };

// The handler's answer for the status the system expects for that way of
// stopping (128 plus the signal's number on POSIX).
inline constexpr int kUsualStopStatus = -1;

// Called once, on a thread of its own, when the program is told to stop;
// the program then ends at once with the status it returns.
using StopHandler = int (*)(StopCause cause);

// Starts watching. Call it first, before any other thread starts. Returns
// false if the watch could not be set up; stopping then keeps the system's
// usual effect.
bool WatchForStopRequests(StopHandler onStop);

// For a program whose terminal or console has gone away: asks for the end
// that a closed terminal or window brings, through the handler when one
// watches. The end may come on another thread, a moment later.
void StopAsOnHangUp();

}  // namespace quenlow::platform
