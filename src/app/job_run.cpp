#include "app/job_run.h"

#include <chrono>

#include "app/interruption.h"
#include "app/job.h"
#include "console/screens.h"

namespace quenlow {

int RunJob(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount) {
  using Clock = std::chrono::steady_clock;
  console::ShowWorking();
  // A monotonic clock: a job across midnight or a clock change still shows
  // its real duration. The time a message box waits for the user is not the
  // job's, so the clock stands still while one is up.
  const auto start = Clock::now();
  Clock::duration waited{};
  JobOptions options;
  options.tell = [&waited](const std::string& message) {
    const auto shown = Clock::now();
    console::ShowError(message);
    waited += Clock::now() - shown;
  };
  const bool written = ProcessRecording(inputFileName, info, frameCount, options);
  const std::chrono::duration<double> elapsed = Clock::now() - start - waited;
  const int status = written ? 0 : 1;
  TreatCtrlCAsTheClosingKey(status);
  console::ShowFinished(elapsed.count());
  console::WaitForKey();
  return status;
}

}  // namespace quenlow
