#include "job/pass_stream.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "dsp/signal_chain.h"

namespace quenlow {
namespace {

// Pieces in flight between the producing thread and the writing one.
constexpr std::int64_t kPiecesInFlight = 3;

}  // namespace

PassOutcome StreamPass(OutputWavWriter& writer, std::int64_t frames, const ProducePiece& produce,
                       const PieceWritten& onWritten) {
  const std::int64_t pieces = (frames + kPieceFrames - 1) / kPieceFrames;
  if (pieces == 0) return PassOutcome::kStreamed;
  const std::size_t pieceBytes = static_cast<std::size_t>(std::min(frames, kPieceFrames)) * kPackedFrameBytes;
  std::vector<std::unique_ptr<std::uint8_t[]>> slots;
  for (std::int64_t i = 0; i < std::min(kPiecesInFlight, pieces); ++i) {
    std::unique_ptr<std::uint8_t[]> slot(new (std::nothrow) std::uint8_t[pieceBytes]);
    if (!slot) break;
    slots.push_back(std::move(slot));
  }
  if (slots.empty()) return PassOutcome::kNoMemory;
  const auto inFlight = static_cast<std::int64_t>(slots.size());
  auto frameCount = [&](std::int64_t piece) { return std::min(kPieceFrames, frames - piece * kPieceFrames); };
  auto slot = [&](std::int64_t piece) { return slots[static_cast<std::size_t>(piece % inFlight)].get(); };

  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t produced = 0;
  std::int64_t written = 0;
  // A piece that fails (memory running out on the producing thread) ends the
  // pass: the failure is thrown again on this thread, after the producer
  // has stopped. So does a piece that cannot be produced.
  std::exception_ptr failure;
  bool inputFailed = false;
  // A file that cannot be written ends its pass too: nothing more is made
  // for it.
  bool writeFailed = false;
  auto produceAll = [&] {
    for (std::int64_t piece = 0; piece < pieces; ++piece) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return piece - written < inFlight || failure || writeFailed; });
        if (failure || writeFailed) return;
      }
      bool made = false;
      try {
        made = produce(piece * kPieceFrames, frameCount(piece), slot(piece));
      } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        failure = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (!made) inputFailed = true;
        if (made && !failure) produced = piece + 1;
      }
      changed.notify_all();
      if (!made || failure) return;
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
      changed.wait(lock, [&] { return produced > piece || failure || inputFailed; });
      if (failure || inputFailed) break;
    } else if (!produce(piece * kPieceFrames, frameCount(piece), slot(piece))) {
      inputFailed = true;
      break;
    }
    writer.Append(slot(piece), static_cast<std::size_t>(frameCount(piece)) * kPackedFrameBytes);
    {
      std::lock_guard<std::mutex> lock(mutex);
      written = piece + 1;
      writeFailed = !writer.Ok();
    }
    changed.notify_all();
    if (writeFailed) break;
    if (onWritten) onWritten(piece * kPieceFrames + frameCount(piece));
  }
  if (producer) producer->join();
  if (failure) std::rethrow_exception(failure);
  if (inputFailed) return PassOutcome::kInputFailed;
  return writeFailed ? PassOutcome::kWriteFailed : PassOutcome::kStreamed;
}

}  // namespace quenlow
