#include "app/job_run.h"

#include <utility>

#include "app/dialogue_messages.h"
#include "app/interruption.h"
#include "job/job.h"
#include "console/screens.h"
#include "platform/files.h"
#include "platform/system_facts.h"

namespace quenlow {

int RunJob(const std::string& inputFileName, HeldFile checkedFile, const WavFormatInfo& info,
           std::int64_t frameCount) {
  console::ShowWorking();
  // A monotonic clock: a job across midnight or a clock change still shows
  // its real duration. The time a message box waits for the user is not the
  // job's, so the clock stands still while one is up.
  const double start = platform::MonotonicSeconds();
  double waited = 0.0;
  JobOptions options;
  options.tell = [&waited](const JobNote& note) {
    const double shown = platform::MonotonicSeconds();
    console::ShowError(DialogueText(note));
    waited += platform::MonotonicSeconds() - shown;
  };
  const bool written = checkedFile.Handle() != platform::kNoFile
                           ? ProcessRecording(inputFileName, std::move(checkedFile), info, frameCount, options)
                           : ProcessRecording(inputFileName, info, frameCount, options);
  const double elapsed = platform::MonotonicSeconds() - start - waited;
  const int status = written ? 0 : 1;
  TreatCtrlCAsTheClosingKey(status);
  console::ShowFinished(elapsed);
  console::WaitForKey();
  return status;
}

}  // namespace quenlow
