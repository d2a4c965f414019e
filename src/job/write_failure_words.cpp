#include "job/write_failure_words.h"

#include "platform/files.h"

namespace quenlow {

std::string CouldNotWrite(const WriteResult& result) {
  std::string why;
  switch (result.failure) {
    case WriteFailure::kFormatTooLarge: why = "the format does not fit a WAV header"; break;
    case WriteFailure::kNoBytes: why = "no sample bytes were given"; break;
    case WriteFailure::kTooManyBytes: why = "more sample bytes were given than the header announces"; break;
    case WriteFailure::kTooFewBytes:
      why = "only " + std::to_string(result.given) + " of " + std::to_string(result.expected) +
            " sample bytes were given";
      break;
    case WriteFailure::kEncoderSetUp: why = "the FLAC encoder could not be set up"; break;
    case WriteFailure::kPartFrame: why = "a piece of sample bytes was not whole frames"; break;
    case WriteFailure::kTooManyFrames: why = "more frames were given than announced"; break;
    case WriteFailure::kStreamNotEnded: why = "the FLAC stream could not be ended"; break;
    case WriteFailure::kSystem:
    case WriteFailure::kNone: why = platform::ErrorText(result.error); break;
  }
  return "Could not write " + result.name + ": " + why;
}

}  // namespace quenlow
