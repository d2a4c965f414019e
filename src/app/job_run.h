// The job: both output files from an accepted input, then the completion rows.
#pragma once

#include <cstdint>
#include <string>

#include "wav/checked_recording.h"
#include "wav/wav_reader.h"

namespace quenlow {

// Runs the job on the file that was checked, still open, and waits for the
// closing key. Returns the exit status: 0, or 1 when an output could not be
// written.
int RunJob(const std::string& inputFileName, HeldFile checkedFile, const WavFormatInfo& info,
           std::int64_t frameCount);

}  // namespace quenlow
