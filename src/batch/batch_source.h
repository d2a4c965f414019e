// Opening a batch's input: a WAV file through the dialogue's reader and
// checks, any other format as the build can (other_formats.h), both as a
// sample source for the job.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wav/sample_source.h"

namespace quenlow {

struct OpenedInput {
  std::unique_ptr<SampleSource> source;  // empty: rejected
  std::int32_t sampleRate = 0;
  std::int64_t frames = 0;
  std::string rejection;                 // one line: why the file is not taken
};

OpenedInput OpenBatchInput(const std::string& path);

// A file read as WAV, whatever its name.
OpenedInput OpenWavInput(const std::string& path);
// No source, and why.
OpenedInput RejectedInput(std::string why);

}  // namespace quenlow
