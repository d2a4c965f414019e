#include "app/interruption.h"

#include <atomic>

#include "console/terminal.h"
#include "platform/interruption_watch.h"
#include "wav/unfinished_outputs.h"

namespace quenlow {
namespace {

// The status Ctrl+C ends the program with at the closing key; none before.
std::atomic<int> closingStatus{-1};

int LeaveCleanly(platform::StopCause cause) {
  if (const int status = closingStatus.load(); cause == platform::StopCause::Interrupt && status >= 0) {
    console::GiveTerminalBackOnTheWayOut();
    return status;
  }
  // Holding the list of temporary files from here on, so that no new one
  // can appear before the end.
  RemoveUnfinishedOutputsForGood();
  console::GiveTerminalBackOnTheWayOut();
  return platform::kUsualStopStatus;
}

}  // namespace

bool WatchForInterruption() { return platform::WatchForStopRequests(LeaveCleanly); }

void TreatCtrlCAsTheClosingKey(int status) { closingStatus.store(status); }

}  // namespace quenlow
