// The job's work without its screen: read the input, write the unfiltered
// and the filtered file. RunJob puts the dialogue around it; the benchmark
// and the tests call it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "job/job_note.h"
#include "wav/checked_recording.h"
#include "wav/sample_source.h"
#include "wav/wav_reader.h"

namespace quenlow {

struct JobOptions {
  // Called with what the user should hear of, before the job goes on (a
  // failed write, a missing coefficient file). The job waits for it to
  // return.
  std::function<void(const JobNote&)> tell;
  // Where recfilt.dat is; empty: look for it in the usual places.
  std::string filterFile;
  // Called on the job's thread as the outputs are written: the frames written
  // so far of all the frames the job writes. A piece is many thousand frames,
  // so this comes a few hundred times a second at most.
  std::function<void(std::int64_t done, std::int64_t total)> progress{};
  // The outputs' names; empty: beside the input, named from it.
  std::string unfilteredName{};
  std::string filteredName{};
  // Which outputs are made.
  bool makeUnfiltered = true;
  bool makeFiltered = true;
};

// Runs the job; returns true when the outputs were written.
bool ProcessRecording(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount,
                      const JobOptions& options);

// The same, reading the file that was checked (CheckRecording), still open.
bool ProcessRecording(const std::string& inputFileName, HeldFile checkedFile, const WavFormatInfo& info,
                      std::int64_t frameCount, const JobOptions& options);

// The same job on frames from any source at `sampleRate` (44100 or 48000);
// the options name the outputs.
bool ProcessRecording(SampleSource& source, std::int32_t sampleRate, std::int64_t frameCount,
                      const JobOptions& options);

}  // namespace quenlow
