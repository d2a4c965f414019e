// Streams one pass of the signal chain into its output file, piece by
// piece, so that memory stays flat however long the recording.
#pragma once

#include <cstdint>
#include <functional>

#include "wav/wav_writer.h"

namespace quenlow {

// Fills `out` with frames [first, first + count) of the pass; false when it
// cannot (its input could not be read), which ends the pass.
using ProducePiece = std::function<bool(std::int64_t first, std::int64_t count, std::uint8_t* out)>;
// Told, on the calling thread, how many frames the writer has had so far.
using PieceWritten = std::function<void(std::int64_t framesWritten)>;

enum class PassOutcome {
  kStreamed,     // every piece went to the writer
  kWriteFailed,  // the writer failed, and the pass stopped there (the writer tells why)
  kNoMemory,     // not even one piece's memory could be had
  kInputFailed,  // a piece could not be produced: its input could not be read
};

// Output frames produced at a time.
inline constexpr std::int64_t kPieceFrames = std::int64_t{1} << 18;

// A producing thread computes the next pieces, in order, while this thread
// hands the finished ones to the writer; without a thread to spare it
// produces and writes by turns. An exception thrown by `produce` (memory
// running out) is thrown again here, once the producing thread has stopped.
PassOutcome StreamPass(OutputWavWriter& writer, std::int64_t frames, const ProducePiece& produce,
                       const PieceWritten& onWritten = {});

}  // namespace quenlow
