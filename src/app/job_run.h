// The job: both output files from an accepted input, then the completion rows.
#pragma once

#include <cstdint>
#include <string>

#include "wav/wav_reader.h"

namespace quenlow {

// Runs the job and waits for the closing key. Returns the exit status:
// 0, or 1 when an output could not be written.
int RunJob(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount);

}  // namespace quenlow
