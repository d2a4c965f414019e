#include "app/interruption.h"

#include <atomic>

#include "console/terminal.h"
#include "job/interruption.h"

namespace quenlow {
namespace {

// The status Ctrl+C ends the program with at the closing key; none before.
std::atomic<int> closingStatus{-1};

int ClosingKeyStatus(platform::StopCause cause) {
  if (const int status = closingStatus.load(); cause == platform::StopCause::Interrupt && status >= 0) {
    console::GiveTerminalBackOnTheWayOut();
    return status;
  }
  return -1;
}

}  // namespace

bool WatchForInterruption() {
  return LeaveNoOutputOnInterruption({ClosingKeyStatus, console::GiveTerminalBackOnTheWayOut});
}

void TreatCtrlCAsTheClosingKey(int status) { closingStatus.store(status); }

}  // namespace quenlow
