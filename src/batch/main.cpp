// quenlow-batch: the dialogue's two outputs for many recordings at once,
// from the command line.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <variant>

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "platform/interruption_watch.h"
#include "wav/unfinished_outputs.h"

namespace {

// Unfinished outputs go first, so that the closing words are true.
int LeaveCleanly(quenlow::platform::StopCause) {
  quenlow::RemoveUnfinishedOutputsForGood();
  quenlow::StopBatch();
  return quenlow::platform::kUsualStopStatus;
}

}  // namespace

// A standard stream that was closed would be reused by the next file opened,
// and JSON lines could land in an output: it is opened on /dev/null instead.
// Whether standard output was closed.
bool GuardStandardStreams() {
  bool outputClosed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    outputClosed = outputClosed || fd == 1;
    const int opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) close(opened);
  }
  return outputClosed;
}

int main(int argc, char** argv) {
  const bool outputClosed = GuardStandardStreams();
  const std::variant<quenlow::BatchOptions, int> parsed = quenlow::ParseBatchOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  // A reader of --json that goes away must not end the program with a
  // temporary file left behind.
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl+C removes the temporary outputs of the file at hand and says where
  // the batch stopped. This comes before any other thread is started.
  quenlow::platform::WatchForStopRequests(LeaveCleanly);
  quenlow::BatchOptions options = std::get<quenlow::BatchOptions>(parsed);
  options.standardOutputClosed = outputClosed;
  return quenlow::RunBatch(options);
}
