// Where the job takes its input's samples from: the data chunk of a WAV file
// the reader accepted (RecordingReader), or any other source of 16-bit stereo
// frames (a decoded FLAC file, say).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_names.h"
#include "platform/files.h"

namespace quenlow {

// Why a source stopped giving samples, with its figures; each program words
// it.
enum class SourceProblem {
  kNone,
  kCannotOpen,    // error: the system's reason
  kCannotRead,    // error, or the decoder's own words in detail; neither when unknown
  kCannotDecode,  // the decoder gave up at `frame` (detail: its own words)
  kTooLong,       // more frames than any output file can hold
  kChanged,       // the file changed while it was being read
};

struct SourceFailure {
  SourceProblem problem = SourceProblem::kNone;
  std::string name;               // the input, as given
  platform::SystemError error = 0;
  std::int64_t frame = 0;
  std::string detail;
};

class SampleSource {
 public:
  virtual ~SampleSource() = default;

  // False, with the reason in Failure(), once the source could not be opened
  // or read, or has changed since it was opened.
  virtual bool Ok() const = 0;
  virtual SourceFailure Failure() const = 0;

  // Frames [first, first + count) into out, left and right interleaved (2
  // values a frame); frames the source does not hold are 0. False when it
  // cannot be read. Both passes may read at once.
  virtual bool Read(std::int64_t first, std::int64_t count, std::int16_t* out) = 0;

  // The file read, where the source is one: no output may replace it.
  virtual std::optional<platform::FileIdentity> Identity() const { return std::nullopt; }
};

}  // namespace quenlow
