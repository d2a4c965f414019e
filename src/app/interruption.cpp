#include "app/interruption.h"

#include "console/terminal.h"
#include "platform/interruption_watch.h"
#include "wav/unfinished_outputs.h"

namespace quenlow {
namespace {

void LeaveCleanly() {
  // Holding the list of temporary files from here on, so that no new one
  // can appear before the end.
  RemoveUnfinishedOutputsForGood();
  console::GiveTerminalBackOnTheWayOut();
}

}  // namespace

bool WatchForInterruption() { return platform::WatchForStopRequests(LeaveCleanly); }

}  // namespace quenlow
