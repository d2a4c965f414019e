// A thread that feeds a sound device must run as soon as the device has
// room, however busy the machine is.
#pragma once

namespace quenlow::platform {

// Asks for the calling thread to be scheduled ahead of ordinary work (a low
// real-time priority on Linux, where the system or a limit allows it; time
// critical on Windows). False when the system said no: the thread then runs
// as before.
bool RaiseThreadPriorityForAudio();

}  // namespace quenlow::platform
