// Where the job takes its input's samples from: the data chunk of a WAV file
// the reader accepted, or any other source of 16-bit stereo frames (a decoded
// FLAC file, say).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "wav/wav_reader.h"

namespace quenlow {

class SampleSource {
 public:
  virtual ~SampleSource() = default;
  // Frames [first, first + count) into `out`, left and right interleaved
  // (2 × count values); frames the source does not hold are 0. False, with
  // the reason in `failure`, when the source cannot be read.
  virtual bool ReadFrames(std::int64_t first, std::int64_t count, std::int16_t* out, std::string& failure) = 0;
};

// The samples of an accepted WAV file, from its data offset on, read the way
// ReadSampleBlock reads them.
class WavSampleSource : public SampleSource {
 public:
  WavSampleSource(std::string fileName, const WavFormatInfo& info) : fileName_(std::move(fileName)), info_(info) {}
  ~WavSampleSource() override;  // closes the file
  WavSampleSource(const WavSampleSource&) = delete;
  WavSampleSource& operator=(const WavSampleSource&) = delete;

  // The file is opened at the first read and held until the source goes.
  bool ReadFrames(std::int64_t first, std::int64_t count, std::int16_t* out, std::string& failure) override;

 private:
  std::string fileName_;
  WavFormatInfo info_;
  int fd_ = -1;
};

}  // namespace quenlow
