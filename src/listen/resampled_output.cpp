#include "listen/resampled_output.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

#include "dsp/quantiser.h"

namespace quenlow::listen {

ResampledOutput::ResampledOutput(std::unique_ptr<AudioOutput> device, std::int32_t rate, std::int32_t deviceRate)
    : device_(std::move(device)), ratio_(static_cast<double>(deviceRate) / rate) {
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  soxr_error_t error = nullptr;
  resampler_ = soxr_create(rate, deviceRate, 2, &error, &io, &quality, nullptr);
  if (error) resampler_ = nullptr;
}

ResampledOutput::~ResampledOutput() {
  if (resampler_) soxr_delete(resampler_);
}

// Resamples `frames` frames (none: the end, which lets out what the
// resampler still holds) and hands the result to the device.
bool ResampledOutput::Pass(const double* in, std::size_t frames) {
  out_.resize(2 * (static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * ratio_)) + 1024));
  std::size_t used = 0;
  std::size_t made = 0;
  if (soxr_process(resampler_, in, frames, &used, out_.data(), out_.size() / 2, &made)) return false;
  packed_.resize(made * 6);
  for (std::size_t i = 0; i < 2 * made; ++i) {
    const double value = std::clamp(std::nearbyint(out_[i]), double{kSample24Min}, double{kSample24Max});
    PackSample24(static_cast<std::int32_t>(value), &packed_[3 * i]);
  }
  return made == 0 || device_->Write(packed_.data(), static_cast<std::int64_t>(made));
}

bool ResampledOutput::Write(const std::uint8_t* frames, std::int64_t count) {
  if (!resampler_) return false;
  in_.resize(static_cast<std::size_t>(2 * count));
  for (std::size_t i = 0; i < in_.size(); ++i) {
    const std::uint8_t* s = frames + 3 * i;
    in_[i] = static_cast<std::int32_t>((static_cast<std::uint32_t>(s[0]) | static_cast<std::uint32_t>(s[1]) << 8 |
                                        static_cast<std::uint32_t>(s[2]) << 16)
                                       << 8) >>
             8;
  }
  return Pass(in_.data(), static_cast<std::size_t>(count));
}

void ResampledOutput::Finish() {
  if (resampler_) Pass(nullptr, 0);
  device_->Finish();
}

}  // namespace quenlow::listen
