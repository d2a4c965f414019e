#include "platform/interruption_watch.h"

#include <windows.h>

#include <atomic>

namespace quenlow::platform {
namespace {

// What Windows itself gives a console program ended by Ctrl+C.
constexpr UINT kStoppedStatus = 0xC000013Au;

StopHandler handler = nullptr;
std::atomic<bool> stopping{false};

// Runs on a thread the system starts for the event. Ctrl+C, Ctrl+Break, a
// closed window, a log-off and a shut-down all end the program; a second
// event while the first is being handled waits for the end.
[[noreturn]] void Stop(StopCause cause) {
  if (stopping.exchange(true)) {
    for (;;) Sleep(INFINITE);
  }
  const int status = handler != nullptr ? handler(cause) : kUsualStopStatus;
  // Ended at once, as the handler leaves it: ExitProcess would first kill
  // the working threads and then run the C library's own clean-up, which
  // waits for ever on a lock (the heap's, a stream's) one of them held.
  TerminateProcess(GetCurrentProcess(), status != kUsualStopStatus ? static_cast<UINT>(status) : kStoppedStatus);
  for (;;) Sleep(INFINITE);
}

BOOL WINAPI OnControlEvent(DWORD event) {
  Stop(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? StopCause::Interrupt : StopCause::Other);
}

}  // namespace

bool WatchForStopRequests(StopHandler onStop) {
  handler = onStop;
  return SetConsoleCtrlHandler(OnControlEvent, TRUE) != 0;
}

void StopAsOnHangUp() { Stop(StopCause::Other); }

}  // namespace quenlow::platform
