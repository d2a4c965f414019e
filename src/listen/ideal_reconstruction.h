// The "original" source: the recording reconstructed ideally at the outputs'
// rate, as a converter with a perfect reconstruction filter would play it. A
// linear-phase resampler of very high quality (libsoxr) makes the four
// samples for each input sample; they take the outputs' gain and their
// triangular dither, so that only the reconstruction differs from the two
// outputs.
#pragma once

#include <cstdint>
#include <vector>

#include "wav/sample_source.h"

struct soxr;

namespace quenlow::listen {

class IdealReconstruction {
 public:
  IdealReconstruction(SampleSource& source, std::int64_t inputFrames);
  ~IdealReconstruction();
  IdealReconstruction(const IdealReconstruction&) = delete;
  IdealReconstruction& operator=(const IdealReconstruction&) = delete;

  // Frames [first, first + count) of the timeline, packed 6 bytes a frame.
  // A frame's bytes are the same whatever was rendered before it. False when
  // the source could not be read or the resampler failed.
  bool Render(std::int64_t first, std::int64_t count, std::uint8_t* out);

  // The held outputs reach each input sample's value half a hold (1.5
  // frames) after its instant; the reconstruction is put 2 frames after it,
  // within one frame of them.
  static constexpr std::int64_t kAlignmentFrames = 2;

 private:
  bool Restart(std::int64_t first);
  bool FeedInput();

  SampleSource& source_;
  std::int64_t inputFrames_;
  soxr* resampler_ = nullptr;
  std::int64_t nextInput_ = 0;   // the next input frame to give the resampler
  std::int64_t nextOutput_ = 0;  // the timeline frame of its next output
  std::vector<std::int16_t> read_;
  std::vector<double> input_;
  std::vector<double> output_;
  std::size_t outputHeld_ = 0;   // frames in output_ not yet taken
  std::size_t outputTaken_ = 0;
};

}  // namespace quenlow::listen
