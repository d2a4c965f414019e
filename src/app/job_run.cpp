#include "app/job_run.h"

#include <chrono>

#include "app/job.h"
#include "console/screens.h"

namespace quenlow {

int RunJob(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount) {
  console::ShowWorking();
  // A monotonic clock: a job across midnight or a clock change still shows
  // its real duration.
  const auto start = std::chrono::steady_clock::now();
  JobOptions options;
  options.tell = [](const std::string& message) { console::ShowError(message); };
  const bool written = ProcessRecording(inputFileName, info, frameCount, options);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  console::ShowFinished(elapsed.count());
  console::WaitForKey();
  return written ? 0 : 1;
}

}  // namespace quenlow
