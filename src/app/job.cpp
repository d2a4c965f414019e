#include "app/job.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <new>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "app/filter_file.h"
#include "dsp/filter_taps.h"
#include "dsp/filtered_pass.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "wav/wav_writer.h"

namespace quenlow {
namespace {

// Frames produced and handed to the writer at a time: large enough that the
// per-piece work is negligible, small enough to keep memory flat.
constexpr std::int64_t kPieceFrames = std::int64_t{1} << 17;
// Pieces in flight between the producing thread and the writing one.
constexpr std::int64_t kPiecesInFlight = 3;

// Streams one pass into its writer: a producing thread computes the next
// pieces (on all cores, through the pass's own threads) while this thread
// hands the finished ones to the writer, in order.
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

// Streams one pass into its writer: a producing thread computes the next
// pieces (on all cores, through the pass's own threads) while this thread
// hands the finished ones to the writer, in order. Without a thread to spare
// it produces and writes by turns. False when not even one piece's memory can
// be had.
template <typename Produce>
bool StreamPass(OutputWavWriter& writer, std::int64_t frames, Produce produce) {
  const std::int64_t pieces = (frames + kPieceFrames - 1) / kPieceFrames;
  if (pieces == 0) return true;
  const std::size_t pieceBytes = static_cast<std::size_t>(std::min(frames, kPieceFrames)) * kPackedFrameBytes;
  std::vector<std::unique_ptr<std::uint8_t[]>> slots;
  for (std::int64_t i = 0; i < std::min(kPiecesInFlight, pieces); ++i) {
    std::unique_ptr<std::uint8_t[]> slot(new (std::nothrow) std::uint8_t[pieceBytes]);
    if (!slot) break;
    slots.push_back(std::move(slot));
  }
  if (slots.empty()) return false;
  const auto inFlight = static_cast<std::int64_t>(slots.size());
  auto frameCount = [&](std::int64_t piece) { return std::min(kPieceFrames, frames - piece * kPieceFrames); };
  auto slot = [&](std::int64_t piece) { return slots[static_cast<std::size_t>(piece % inFlight)].get(); };

  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t produced = 0;
  std::int64_t written = 0;
  // A piece that fails (memory running out on the producing thread) ends the
  // pass: the failure is thrown again on this thread, after the producer
  // has stopped.
  std::exception_ptr failure;
  auto produceAll = [&] {
    for (std::int64_t piece = 0; piece < pieces; ++piece) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return piece - written < inFlight || failure; });
        if (failure) return;
      }
      try {
        produce(piece * kPieceFrames, frameCount(piece), slot(piece));
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        failure = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure) produced = piece + 1;
      }
      changed.notify_all();
      if (failure) return;
    }
  };
  std::optional<std::jthread> producer;
  if (inFlight > 1) {
    try {
      producer.emplace(produceAll);
    } catch (const std::system_error&) {
    }
  }
  for (std::int64_t piece = 0; piece < pieces; ++piece) {
    if (producer) {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return produced > piece || failure; });
      if (failure) break;
    } else {
      produce(piece * kPieceFrames, frameCount(piece), slot(piece));
    }
    writer.Append(slot(piece), static_cast<std::size_t>(frameCount(piece)) * kPackedFrameBytes);
    {
      std::lock_guard<std::mutex> lock(mutex);
      written = piece + 1;
    }
    changed.notify_all();
  }
  if (producer) producer->join();
  if (failure) std::rethrow_exception(failure);
  return true;
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
  std::optional<FilterTaps> taps = LoadFilterTaps(*path);
  if (!taps) return {FilterTaps{}, " " + *path + " cannot be read: the filtered file will hold dither only  "};
  return {*taps, ""};
}

// The job proper. Resources can run out anywhere in it (memory, threads):
// ProcessRecording turns that into a message, and the writers' destructors
// remove their temporary files on the way out.
bool ProduceOutputs(const std::string& inputFileName, const WavFormatInfo& info, std::int64_t frameCount,
                    const JobOptions& options) {
  const std::string unfilteredName = OutputFileName(inputFileName, kUnfilteredSuffix);
  const std::string filteredName = OutputFileName(inputFileName, kFilteredSuffix);

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
  // The unfiltered file goes to disk while the filtered one is computed.
  WriteResult unfiltered;
  bool finishFailed = false;  // memory ran out on the finishing thread
  std::optional<std::jthread> finishing = StartOrRun([&] {
    try {
      unfiltered = unfilteredWriter.Finish();
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
    // The user hears of a missing filter before the filtered file is made,
    // and after anything that went wrong with the unfiltered one.
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
      enoughMemory ? filteredWriter.Finish() : WriteResult{false, "Not enough memory for this recording"};
  reportUnfiltered();
  if (!filtered.ok) Tell(options, " " + filtered.reason + "  ");
  return unfiltered.ok && filtered.ok;
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
