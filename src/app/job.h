// The job's work without its screen: read the input, write the unfiltered
// and the filtered file. RunJob puts the dialogue around it; the benchmark
// and the tests call it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "wav/wav_reader.h"

namespace quenlow {

struct JobOptions {
  // Called with a message for the user, before the job goes on (a failed
  // write, a missing coefficient file). The job waits for it to return.
  std::function<void(const std::string&)> tell;
  // Where recfilt.dat is; empty: look for it in the usual places.
  std::string filterFile;
};

// Runs the job; returns true when both outputs were written.
bool ProcessRecording(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount,
                      const JobOptions& options);

}  // namespace quenlow
