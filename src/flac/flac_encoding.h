// Encoding an output as FLAC: 24-bit stereo at the output rate, the decoded
// samples exactly the packed bytes given, with the output's tags as Vorbis
// comments and a seek table. The bytes go to a sink: appended in order, and
// at the end the stream information (length, MD5) and the seek table are
// written again over their places near the start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wav/recording_tags.h"

namespace quenlow {

class FlacSink {
 public:
  virtual ~FlacSink() = default;
  // Returns false on failure; the encoding then fails.
  virtual bool Append(const std::uint8_t* bytes, std::size_t size) = 0;
  // Over bytes already appended.
  virtual bool WriteAt(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) = 0;
};

class FlacEncoding {
 public:
  // frameCount is the exact number of frames that will be given.
  FlacEncoding(FlacSink& sink, std::int64_t sampleRate, std::int64_t frameCount, const RecordingTags& tags);
  ~FlacEncoding();
  FlacEncoding(const FlacEncoding&) = delete;
  FlacEncoding& operator=(const FlacEncoding&) = delete;

  // Packed frames: 6 bytes each, left then right, 24 bits least significant
  // byte first. Returns false once anything has failed.
  bool Encode(const std::uint8_t* packed, std::int64_t frames);
  // Ends the stream; false if the encoder or the sink failed, or fewer
  // frames came than announced.
  bool Finish();
  bool Ok() const { return ok_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool ok_ = true;
};

}  // namespace quenlow
