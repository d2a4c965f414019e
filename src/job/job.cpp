#include "job/job.h"

#include <atomic>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "job/pass_stream.h"
#include "dsp/filter_file.h"
#include "dsp/filter_taps.h"
#include "dsp/filtered_pass.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "platform/files.h"
#include "wav/output_pair.h"
#include "wav/recording_reader.h"
#include "wav/wav_writer.h"

namespace quenlow {
namespace {

void Tell(const JobOptions& options, const JobNote& note) {
  if (options.tell) options.tell(note);
}

JobNote Note(JobNoteKind kind, std::string path = {}) {
  JobNote note;
  note.kind = kind;
  note.path = std::move(path);
  return note;
}

void Tell(const JobOptions& options, JobNoteKind kind) { Tell(options, Note(kind)); }

// The taps, or all zeros (the filtered file then holds the dither alone),
// with what the user should hear of them, if anything.
struct ObtainedTaps {
  FilterTaps taps{};
  std::optional<JobNote> note;
};

ObtainedTaps ObtainTaps(const JobOptions& options) {
  std::optional<std::string> path =
      options.filterFile.empty() ? FindFilterFile() : std::optional<std::string>(options.filterFile);
  if (!path) return {FilterTaps{}, Note(JobNoteKind::kNoFilterFile, kFilterFileName)};
  FilterTapsReport report;
  std::optional<FilterTaps> taps = LoadFilterTaps(*path, &report);
  if (!taps) return {FilterTaps{}, Note(JobNoteKind::kFilterUnreadable, *path)};
  const FilterFileCheck check = CheckFilterFile(*taps, report);
  if (check.doubt == FilterDoubt::kNone) return {*taps, std::nullopt};
  JobNote note = Note(JobNoteKind::kFilterDoubtful, *path);
  note.filter = check;
  return {*taps, note};
}

JobNote InputFailed(const SampleSource& source) {
  JobNote note = Note(JobNoteKind::kInputFailed);
  note.input = source.Failure();
  note.path = note.input.name;
  return note;
}

JobNote WriteFailed(const WriteResult& result) {
  JobNote note = Note(JobNoteKind::kWriteFailed, result.name);
  note.write = result;
  return note;
}

// One pass into its writer: each piece first reads the input frames it
// needs (with the filter's history before them) into a window of the
// recording, so memory stays the same however long the recording is.
template <typename Pass>
PassOutcome StreamInputPass(OutputWavWriter& writer, SampleSource& reader, Pass& pass, bool filtered,
                            std::int64_t inputFrames, const PieceWritten& onWritten) {
  std::vector<std::int16_t> window(2 * static_cast<std::size_t>(kPieceFrames / OversamplingRatio + 1 +
                                                                kFilterHistoryFrames));
  const std::int64_t outputFrames = filtered ? FilteredFrameCount(inputFrames) : UnfilteredFrameCount(inputFrames);
  return StreamPass(
      writer, outputFrames,
      [&](std::int64_t first, std::int64_t count, std::uint8_t* out) {
        const FrameSpan span = PieceInputFrames(filtered, inputFrames, first, count);
        if (!reader.Read(span.first, span.count, window.data())) return false;
        pass.SetInput(SignalInput{window.data(), inputFrames, span.first});
        pass.Produce(first, count, out);
        return true;
      },
      onWritten);
}

// Starts `work` on a thread of its own, or, when no thread can be had, runs
// it here and now. Returns the thread, which joins when it goes.
template <typename Work>
std::optional<std::jthread> StartOrRun(Work work) {
  try {
    return std::jthread(work);
  } catch (const std::system_error&) {
    work();
    return std::nullopt;
  }
}

// The job proper. Resources can run out anywhere in it (memory, threads):
// ProcessRecording turns that into a note for the user, and the writers' destructors
// remove their temporary files on the way out.
//
// The two passes run at once: the unfiltered one, cheap to compute, is
// mostly its file's writing, which thus overlaps the filtered one's
// computing. Each reads the recording for itself; both files are finished
// only once the whole recording has been read twice and found unchanged, so
// a recording changed under the job replaces no output.
bool ProduceOutputs(SampleSource& reader, std::int32_t sampleRate, std::int64_t frameCount,
                    const JobOptions& options) {
  // The outputs go in place together or not at all, so whatever would stop
  // either from replacing its old file (the user protected it, a folder has
  // its name, the folder is read-only, it is the recording itself) stops the
  // job before any work.
  std::vector<std::string> names;
  if (options.makeUnfiltered) names.push_back(options.unfilteredName);
  if (options.makeFiltered) names.push_back(options.filteredName);
  if (const OutputRefusal refusal = CheckOutputsReplaceable(names, reader.Identity())) {
    JobNote note = Note(JobNoteKind::kOutputBlocked, refusal.name);
    note.refusal = refusal;
    Tell(options, note);
    return false;
  }
  RemoveAbandonedOutputs(names);
  if (!reader.Ok()) {
    Tell(options, InputFailed(reader));
    return false;
  }
  // The user hears of a missing or doubtful filter before either file is
  // made.
  ObtainedTaps taps;
  if (options.makeFiltered) taps = ObtainTaps(options);
  if (taps.note) Tell(options, *taps.note);

  const SignalInput whole{nullptr, frameCount};
  const UniformSource jobStart;
  const std::int64_t outputRate = std::int64_t{sampleRate} * OversamplingRatio;
  std::optional<OutputWavWriter> unfilteredWriter;
  std::optional<OutputWavWriter> filteredWriter;
  if (options.makeUnfiltered) {
    unfilteredWriter.emplace(options.unfilteredName, 2, outputRate, UnfilteredFrameCount(frameCount));
  }
  if (options.makeFiltered) {
    filteredWriter.emplace(options.filteredName, 2, outputRate, FilteredFrameCount(frameCount));
  }

  // Progress counts the frames written to every output the job makes, and
  // is told on this thread alone: the unfiltered pass, on a thread of its
  // own when both are made, only counts.
  const std::int64_t totalFrames = (options.makeUnfiltered ? UnfilteredFrameCount(frameCount) : 0) +
                                   (options.makeFiltered ? FilteredFrameCount(frameCount) : 0);
  std::atomic<std::int64_t> unfilteredWritten{0};
  std::atomic<std::int64_t> filteredWritten{0};
  auto tellProgress = [&] {
    if (options.progress) options.progress(unfilteredWritten.load() + filteredWritten.load(), totalFrames);
  };

  PassOutcome unfilteredOutcome = PassOutcome::kStreamed;
  PassOutcome filteredOutcome = PassOutcome::kStreamed;
  {
    auto runUnfiltered = [&] {
      try {
        // One thread computes it easily as fast as its file is written.
        UnfilteredPass pass(whole, jobStart, 1);
        unfilteredOutcome = StreamInputPass(*unfilteredWriter, reader, pass, false, frameCount,
                                            [&](std::int64_t written) {
                                              unfilteredWritten.store(written);
                                              if (!options.makeFiltered) tellProgress();
                                            });
      } catch (...) {
        unfilteredOutcome = PassOutcome::kNoMemory;
      }
    };
    std::optional<std::jthread> unfilteredThread;
    if (options.makeUnfiltered && options.makeFiltered) {
      unfilteredThread = StartOrRun(runUnfiltered);
    } else if (options.makeUnfiltered) {
      runUnfiltered();
    }
    if (options.makeFiltered) {
      FilteredPass pass(whole, taps.taps, FilteredPassStart(jobStart, frameCount));
      filteredOutcome = StreamInputPass(*filteredWriter, reader, pass, true, frameCount, [&](std::int64_t written) {
        filteredWritten.store(written);
        tellProgress();
      });
    }
  }
  tellProgress();
  // A file that could not be written is told of below, with the other's
  // outcome; anything else ends the job here, and the writers remove their
  // temporary files as they go.
  auto cutShort = [](PassOutcome outcome) {
    return outcome == PassOutcome::kNoMemory || outcome == PassOutcome::kInputFailed;
  };
  if (cutShort(unfilteredOutcome) || cutShort(filteredOutcome)) {
    if (reader.Ok()) {
      Tell(options, JobNoteKind::kNotEnoughMemory);
    } else {
      Tell(options, InputFailed(reader));
    }
    return false;
  }

  // The writers have had the disk write their bytes as they went, so what is
  // left to wait for here is the last few megabytes.
  const WriteResult unfiltered = unfilteredWriter ? unfilteredWriter->Complete() : WriteResult{};
  const WriteResult filtered = filteredWriter ? filteredWriter->Complete() : WriteResult{};
  if (!unfiltered.ok) Tell(options, WriteFailed(unfiltered));
  if (!filtered.ok) Tell(options, WriteFailed(filtered));
  // A failure leaves the old pair: the writers remove the new files.
  if (!unfiltered.ok || !filtered.ok) return false;
  // Both complete and on disk; now both names, together.
  std::vector<OutputWavWriter*> made;
  for (std::optional<OutputWavWriter>* writer : {&unfilteredWriter, &filteredWriter}) {
    if (*writer) made.push_back(&**writer);
  }
  if (const PairPlacement placed = PutOutputsInPlace(made); !placed.ok) {
    JobNote note = Note(JobNoteKind::kOutputsNotPlaced, placed.failedName);
    note.write = WriteResult{false, WriteFailure::kSystem, placed.failedName, placed.error, 0, 0};
    Tell(options, note);
    return false;
  }
  return true;
}

}  // namespace

bool ProcessRecording(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount,
                      const JobOptions& options) {
  JobOptions beside = options;
  if (beside.unfilteredName.empty()) beside.unfilteredName = OutputFileName(inputFileName, kUnfilteredSuffix);
  if (beside.filteredName.empty()) beside.filteredName = OutputFileName(inputFileName, kFilteredSuffix);
  try {
    RecordingReader reader(inputFileName, info, frameCount);
    return ProduceOutputs(reader, info.sampleRate, frameCount, beside);
  } catch (const std::bad_alloc&) {
  } catch (const std::system_error&) {
  }
  Tell(options, JobNoteKind::kNotEnoughMemory);
  return false;
}

bool ProcessRecording(const std::string& inputFileName, HeldFile checkedFile, const WavFormatInfo& info,
                      std::int64_t frameCount, const JobOptions& options) {
  JobOptions beside = options;
  if (beside.unfilteredName.empty()) beside.unfilteredName = OutputFileName(inputFileName, kUnfilteredSuffix);
  if (beside.filteredName.empty()) beside.filteredName = OutputFileName(inputFileName, kFilteredSuffix);
  try {
    RecordingReader reader(inputFileName, std::move(checkedFile), info, frameCount);
    return ProduceOutputs(reader, info.sampleRate, frameCount, beside);
  } catch (const std::bad_alloc&) {
  } catch (const std::system_error&) {
  }
  Tell(options, JobNoteKind::kNotEnoughMemory);
  return false;
}

bool ProcessRecording(SampleSource& source, std::int32_t sampleRate, std::int64_t frameCount,
                      const JobOptions& options) {
  try {
    return ProduceOutputs(source, sampleRate, frameCount, options);
  } catch (const std::bad_alloc&) {
  } catch (const std::system_error&) {
  }
  Tell(options, JobNoteKind::kNotEnoughMemory);
  return false;
}

}  // namespace quenlow
