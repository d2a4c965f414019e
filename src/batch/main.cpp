// quenlow-batch: the dialogue's two outputs for many recordings at once,
// from the command line.
#include <csignal>
#include <variant>

#include "job/interruption.h"
#include "batch/batch_options.h"
#include "batch/batch_run.h"

int main(int argc, char** argv) {
  const std::variant<quenlow::BatchOptions, int> parsed = quenlow::ParseBatchOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  // A reader of --json that goes away must not end the program with a
  // temporary file left behind.
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl+C removes the temporary outputs of the file at hand. This comes
  // before any other thread is started.
  quenlow::LeaveNoOutputOnInterruption();
  return quenlow::RunBatch(std::get<quenlow::BatchOptions>(parsed));
}
