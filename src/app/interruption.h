// Ctrl+C, a closed terminal or a termination request end the program at
// once, but never leave a half-written output or a terminal in curses' modes.
#pragma once

namespace quenlow {

// Hands those signals to a thread of their own, which removes the temporary
// outputs, gives the terminal back and ends the program with 128 plus the
// signal's number, as shells expect. Call it first, before any other thread
// starts: the threads started later inherit the blocked signals, so no
// handler ever interrupts the work. A hang-up ignored at start (by nohup)
// stays ignored. Returns false if the thread could not be started; the
// signals then keep their usual effect.
bool WatchForInterruption();

// Once the work is done and the program only waits for its closing key,
// Ctrl+C is that key: the program then ends with `status`, as on any other
// key, instead of as interrupted.
void TreatCtrlCAsTheClosingKey(int status);

}  // namespace quenlow
