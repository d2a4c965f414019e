#include "app/job_run.h"

#include "console/screens.h"

namespace quenlow {

int RunJob(const std::string&, const WavFormatInfo&, std::int64_t) {
  console::WaitForKey();
  return 0;
}

}  // namespace quenlow
