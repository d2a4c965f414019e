#include "app/job.h"

#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/pass_stream.h"
#include "dsp/filter_file.h"
#include "dsp/filter_taps.h"
#include "dsp/filtered_pass.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "wav/wav_writer.h"

namespace quenlow {
namespace {

// Starts `work` on a thread of its own, or, when no thread can be had, runs
// it here and now. Returns the thread to join, if one was started.
template <typename Work>
std::optional<std::jthread> StartOrRun(Work work) {
  try {
    return std::jthread(work);
  } catch (const std::system_error&) {
    work();
    return std::nullopt;
  }
}

const std::string kNotEnoughMemory = " Not enough memory for this recording  ";

void Tell(const JobOptions& options, const std::string& message) {
  if (options.tell) options.tell(message);
}

// The taps, or all zeros (the filtered file then holds the dither alone) with
// the message that tells the user why.
struct ObtainedTaps {
  FilterTaps taps{};
  std::string message;
};

ObtainedTaps ObtainTaps(const JobOptions& options) {
  std::optional<std::string> path =
      options.filterFile.empty() ? FindFilterFile() : std::optional<std::string>(options.filterFile);
  if (!path) return {FilterTaps{}, " recfilt.dat not found: the filtered file will hold dither only  "};
  FilterTapsReport report;
  std::optional<FilterTaps> taps = LoadFilterTaps(*path, &report);
  if (!taps) return {FilterTaps{}, " " + *path + " cannot be read: the filtered file will hold dither only  "};
  return {*taps, FilterFileWarning(*path, *taps, report)};
}

// The job proper. Resources can run out anywhere in it (memory, threads):
// ProcessRecording turns that into a message, and the writers' destructors
// remove their temporary files on the way out.
bool ProduceOutputs(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount,
                    const JobOptions& options) {
  const std::string unfilteredName = OutputFileName(inputFileName, kUnfilteredSuffix);
  const std::string filteredName = OutputFileName(inputFileName, kFilteredSuffix);
  // The two outputs go in place together or not at all, so an output the
  // user protected (or a folder of its name) stops the job before any work.
  for (const std::string& name : {unfilteredName, filteredName}) {
    if (const std::string problem = ReplaceableOutputProblem(name); !problem.empty()) {
      Tell(options, " " + problem + ": nothing was written  ");
      return false;
    }
  }

  std::string readFailure;
  std::optional<std::vector<std::int16_t>> samples = ReadSampleBlock(inputFileName, info, frameCount, &readFailure);
  if (!samples) {
    Tell(options, " " + readFailure + "  ");
    return false;
  }
  const SignalInput input{samples->data(), frameCount};
  const UniformSource jobStart;
  const std::int64_t outputRate = std::int64_t{info.sampleRate} * OversamplingRatio;

  bool enoughMemory = true;
  OutputWavWriter unfilteredWriter(unfilteredName, 2, outputRate, UnfilteredFrameCount(frameCount));
  {
    UnfilteredPass pass(input, jobStart);
    enoughMemory = StreamPass(unfilteredWriter, UnfilteredFrameCount(frameCount),
                              [&](std::int64_t first, std::int64_t count, std::uint8_t* out) {
                                pass.Produce(first, count, out);
                              });
  }
  if (!enoughMemory) {
    Tell(options, kNotEnoughMemory);
    return false;  // the writer removes its temporary file
  }
  // The unfiltered file goes to disk while the filtered one is computed; it
  // gets its name only when the filtered one is complete too.
  WriteResult unfiltered;
  bool finishFailed = false;  // memory ran out on the finishing thread
  std::optional<std::jthread> finishing = StartOrRun([&] {
    try {
      unfiltered = unfilteredWriter.Complete();
    } catch (...) {
      finishFailed = true;
    }
  });
  bool unfilteredReported = false;
  auto reportUnfiltered = [&] {
    if (finishing) finishing->join();
    finishing.reset();
    if (finishFailed) unfiltered = WriteResult{false, "Not enough memory for this recording"};
    finishFailed = false;
    if (!unfiltered.ok && !unfilteredReported) Tell(options, " " + unfiltered.reason + "  ");
    unfilteredReported = true;
  };

  const ObtainedTaps taps = ObtainTaps(options);
  if (!taps.message.empty()) {
    // The user hears of a missing or doubtful filter before the filtered
    // file is made, and after anything that went wrong with the unfiltered one.
    reportUnfiltered();
    Tell(options, taps.message);
  }
  OutputWavWriter filteredWriter(filteredName, 2, outputRate, FilteredFrameCount(frameCount));
  {
    FilteredPass pass(input, taps.taps, FilteredPassStart(jobStart, frameCount));
    enoughMemory = StreamPass(filteredWriter, FilteredFrameCount(frameCount),
                              [&](std::int64_t first, std::int64_t count, std::uint8_t* out) {
                                pass.Produce(first, count, out);
                              });
  }
  const WriteResult filtered =
      enoughMemory ? filteredWriter.Complete() : WriteResult{false, "Not enough memory for this recording"};
  reportUnfiltered();
  if (!filtered.ok) Tell(options, " " + filtered.reason + "  ");
  // A failure leaves the old pair: the writers remove the new files.
  if (!unfiltered.ok || !filtered.ok) return false;
  // Both complete and on disk; now both names, one straight after the other.
  for (OutputWavWriter* writer : {&unfilteredWriter, &filteredWriter}) {
    if (const WriteResult placed = writer->PutInPlace(); !placed.ok) {
      Tell(options, " " + placed.reason + "  ");
      return false;
    }
  }
  return true;
}

}  // namespace

bool ProcessRecording(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount,
                      const JobOptions& options) {
  try {
    return ProduceOutputs(inputFileName, info, frameCount, options);
  } catch (const std::bad_alloc&) {
  } catch (const std::system_error&) {
  }
  Tell(options, kNotEnoughMemory);
  return false;
}

}  // namespace quenlow
