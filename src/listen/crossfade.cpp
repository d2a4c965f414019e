#include "listen/crossfade.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "dsp/quantiser.h"
#include "dsp/signal_chain.h"

namespace quenlow::listen {
namespace {

std::int32_t Sample24(const std::uint8_t* bytes) {
  const auto bits = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                    static_cast<std::uint32_t>(bytes[2]) << 16;
  return static_cast<std::int32_t>(bits << 8) >> 8;
}

}  // namespace

double FadeInGain(std::int64_t i, std::int64_t n) {
  return 0.5 - 0.5 * std::cos(std::numbers::pi * (static_cast<double>(i) + 0.5) / static_cast<double>(n));
}

Crossfader::Crossfader(std::int32_t rate, Source playing)
    : fadeFrames_(FadeFrames(rate)), from_(playing), to_(playing), fadeDone_(fadeFrames_) {}

void Crossfader::Request(Source target) {
  if (Fading()) {
    waiting_ = target;
    return;
  }
  from_ = to_;
  to_ = target;
  fadeDone_ = 0;
}

void Crossfader::Mix(const std::array<const std::uint8_t*, kSourceCount>& sources, std::int64_t count,
                     std::uint8_t* out) {
  std::int64_t i = 0;
  while (i < count) {
    if (!Fading()) {
      if (waiting_) {
        Request(*waiting_);
        waiting_.reset();
        continue;
      }
      // Between fades the source's bytes pass untouched.
      const std::uint8_t* playing = sources[static_cast<std::size_t>(to_)];
      std::memcpy(out + i * kPackedFrameBytes, playing + i * kPackedFrameBytes,
                  static_cast<std::size_t>(count - i) * kPackedFrameBytes);
      mixed_ += count - i;
      return;
    }
    if (fadeDone_ == 0) lastFadeStart_ = mixed_;
    const std::uint8_t* outgoing = sources[static_cast<std::size_t>(from_)];
    const std::uint8_t* incoming = sources[static_cast<std::size_t>(to_)];
    const double in = FadeInGain(fadeDone_, fadeFrames_);
    for (int s = 0; s < 2; ++s) {
      const std::int64_t at = i * kPackedFrameBytes + 3 * s;
      const double mixed = (1.0 - in) * Sample24(outgoing + at) + in * Sample24(incoming + at);
      // Equal sources give back their own value: the rounding error of the
      // sum is far below half a step.
      const auto value = static_cast<std::int32_t>(std::lround(std::clamp(mixed, double{kSample24Min}, double{kSample24Max})));
      PackSample24(value, out + at);
    }
    ++fadeDone_;
    ++mixed_;
    ++i;
  }
}

}  // namespace quenlow::listen
