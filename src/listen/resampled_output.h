// For a device that cannot play the outputs' rate, when the listener asks
// to go on: the mixed stream resampled (libsoxr, high quality) to a rate the
// device plays. The samples are then no longer the files'.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "listen/audio_device.h"

struct soxr;

namespace quenlow::listen {

class ResampledOutput : public AudioOutput {
 public:
  // `device` is open at `deviceRate`; frames come at `rate`. False from
  // Ok() when the resampler could not be made.
  ResampledOutput(std::unique_ptr<AudioOutput> device, std::int32_t rate, std::int32_t deviceRate);
  ~ResampledOutput() override;
  ResampledOutput(const ResampledOutput&) = delete;
  ResampledOutput& operator=(const ResampledOutput&) = delete;

  bool Ok() const { return resampler_ != nullptr; }
  bool Write(const std::uint8_t* frames, std::int64_t count) override;
  void Finish() override;
  double LatencySeconds() const override { return device_->LatencySeconds(); }

 private:
  bool Pass(const double* in, std::size_t frames);

  std::unique_ptr<AudioOutput> device_;
  soxr* resampler_ = nullptr;
  double ratio_;
  std::vector<double> in_;
  std::vector<double> out_;
  std::vector<std::uint8_t> packed_;
};

}  // namespace quenlow::listen
