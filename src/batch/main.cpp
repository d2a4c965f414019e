// quenlow-batch: the dialogue's two outputs for many recordings at once,
// from the command line.
#include <string>
#include <variant>
#include <vector>

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "platform/command_line.h"
#include "platform/interruption_watch.h"
#include "wav/unfinished_outputs.h"

namespace {

// Unfinished outputs go first, so that the closing words are true.
int LeaveCleanly(quenlow::platform::StopCause) {
  quenlow::RemoveUnfinishedOutputsForGood();
  quenlow::StopBatch();
  quenlow::platform::RestoreTextConsole();
  return quenlow::platform::kUsualStopStatus;
}

}  // namespace

int main(int argc, char** argv) {
  const bool outputClosed = quenlow::platform::GuardStandardStreams();
  // Names exactly as given, in UTF-8 on every system.
  std::vector<std::string> arguments = quenlow::platform::CommandLineArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  quenlow::platform::PrepareTextConsole();
  const std::variant<quenlow::BatchOptions, int> parsed =
      quenlow::ParseBatchOptions(static_cast<int>(pointers.size()), pointers.data());
  if (const int* status = std::get_if<int>(&parsed)) {
    quenlow::platform::RestoreTextConsole();
    return *status;
  }
  // A reader of --json that goes away must not end the program with a
  // temporary file left behind.
  quenlow::platform::IgnoreBrokenPipes();
  // Ctrl+C removes the temporary outputs of the file at hand and says where
  // the batch stopped. This comes before any other thread is started.
  quenlow::platform::WatchForStopRequests(LeaveCleanly);
  quenlow::BatchOptions options = std::get<quenlow::BatchOptions>(parsed);
  options.standardOutputClosed = outputClosed;
  const int status = quenlow::RunBatch(options);
  quenlow::platform::RestoreTextConsole();
  return status;
}
