// Ctrl+C, a closed terminal or window, or a termination request end the
// program at once, but never leave a half-written output or a terminal in
// the program's modes.
#pragma once

namespace quenlow {

// Watches for those requests on a thread of their own, which removes the
// temporary outputs, gives the terminal back and ends the program with the
// status the system expects (128 plus the signal's number on POSIX). Call it
// first, before any other thread starts. A hang-up ignored at start (by
// nohup) stays ignored. Returns false if the watch could not be set up; the
// requests then keep their usual effect.
bool WatchForInterruption();

// Once the work is done and the program only waits for its closing key,
// Ctrl+C is that key: the program then ends with `status`, as on any other
// key, instead of as interrupted.
void TreatCtrlCAsTheClosingKey(int status);

}  // namespace quenlow
