#include "job/interruption.h"

#include "wav/unfinished_outputs.h"

namespace quenlow {
namespace {

// Set once, before the watch starts, and only read after.
InterruptionHooks hooks;

int LeaveCleanly(platform::StopCause cause) {
  if (hooks.statusFor != nullptr) {
    if (const int status = hooks.statusFor(cause); status >= 0) return status;
  }
  // Holding the list of unfinished outputs from here on, so that no new one
  // can appear before the end.
  RemoveUnfinishedOutputsForGood();
  if (hooks.onTheWayOut != nullptr) hooks.onTheWayOut();
  return platform::kUsualStopStatus;
}

}  // namespace

bool LeaveNoOutputOnInterruption(InterruptionHooks programHooks) {
  hooks = programHooks;
  return platform::WatchForStopRequests(LeaveCleanly);
}

}  // namespace quenlow
