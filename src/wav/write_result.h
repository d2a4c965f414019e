// What became of writing one output file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"

namespace quenlow {

// Why an output could not be written.
enum class WriteFailure {
  kNone,
  kFormatTooLarge,  // the figures do not fit a WAV header
  kNoBytes,         // sample bytes were promised and none given
  kTooManyBytes,    // more sample bytes than the header announces
  kTooFewBytes,     // `given` of the `expected` sample bytes
  kSystem,          // the system refused: `error`
  // Of a FLAC output only.
  kEncoderSetUp,    // the encoder could not be set up
  kPartFrame,       // a piece of sample bytes was not whole frames
  kTooManyFrames,   // more frames than announced
  kStreamNotEnded,  // the stream could not be ended
};

// The outcome of one output file: ok, or why it could not be written.
struct WriteResult {
  bool ok = true;
  WriteFailure failure = WriteFailure::kNone;
  std::string name;  // the output's final name
  platform::SystemError error = 0;
  std::uint64_t given = 0;
  std::uint64_t expected = 0;
};

}  // namespace quenlow
