// Streams one pass of the signal chain into its output file, piece by
// piece, so that memory stays flat however long the recording.
#pragma once

#include <cstdint>
#include <functional>

#include "wav/wav_writer.h"

namespace quenlow {

// Fills `out` with frames [first, first + count) of the pass.
using ProducePiece = std::function<void(std::int64_t first, std::int64_t count, std::uint8_t* out)>;
// Told, on the calling thread, how many frames the writer has had so far.
using PieceWritten = std::function<void(std::int64_t framesWritten)>;

// A producing thread computes the next pieces while this thread hands the
// finished ones to the writer, in order; without a thread to spare it
// produces and writes by turns. False when not even one piece's memory can be
// had. An exception thrown by `produce` (memory running out) is thrown again
// here, once the producing thread has stopped.
bool StreamPass(OutputWavWriter& writer, std::int64_t frames, const ProducePiece& produce,
                const PieceWritten& onWritten = {});

}  // namespace quenlow
