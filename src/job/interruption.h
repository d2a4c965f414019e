// Ctrl+C, a closed terminal or window, or a termination request end a
// program that runs the job at once, but never leave a half-written output.
#pragma once

#include "platform/interruption_watch.h"

namespace quenlow {

// What a program adds to the job's own clean-up. Both are called on the
// watching thread, and may be left empty.
struct InterruptionHooks {
  // Asked first: a status of 0 or more ends the program with it at once,
  // and the outputs are left as they are (the dialogue's closing key, when
  // the work is done).
  int (*statusFor)(platform::StopCause cause) = nullptr;
  // Called once the unfinished outputs are gone, before the program ends
  // (the dialogue gives its terminal back here).
  void (*onTheWayOut)() = nullptr;
};

// Watches for those requests on a thread of their own, which removes the
// unfinished outputs and ends the program with the status the system
// expects (128 plus the signal's number on POSIX). Call it first, before any
// other thread starts. A hang-up ignored at start (by nohup) stays ignored.
// Returns false if the watch could not be set up; the requests then keep
// their usual effect.
bool LeaveNoOutputOnInterruption(InterruptionHooks hooks = {});

}  // namespace quenlow
