#include "app/job_run.h"

#include "app/job.h"
#include "console/screens.h"
#include "platform/system_facts.h"

namespace quenlow {

int RunJob(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount) {
  console::ShowWorking();
  // A monotonic clock: a job across midnight or a clock change still shows
  // its real duration.
  const double start = platform::MonotonicSeconds();
  JobOptions options;
  options.tell = [](const std::string& message) { console::ShowError(message); };
  const bool written = ProcessRecording(inputFileName, info, frameCount, options);
  console::ShowFinished(platform::MonotonicSeconds() - start);
  console::WaitForKey();
  return written ? 0 : 1;
}

}  // namespace quenlow
