// Switching between sources: every switch is the same crossfade, a raised
// cosine over a fixed number of frames, starting at the first frame played
// after the request. A switch to the source already playing makes the same
// fade between two equal signals, which leaves its samples as they are:
// neither a click nor its absence tells the listener which source comes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "listen/sources.h"

namespace quenlow::listen {

// 10 ms: short enough to compare the same note, long enough not to click.
inline std::int64_t FadeFrames(std::int32_t rate) { return rate / 100; }

// The gain of the incoming source at frame i of a fade of n frames; the
// outgoing one has 1 minus it.
double FadeInGain(std::int64_t i, std::int64_t n);

class Crossfader {
 public:
  Crossfader(std::int32_t rate, Source playing);

  // Switches to `target` from the next frame mixed; a request during a fade
  // waits for its end, so that every fade runs whole.
  void Request(Source target);

  // Mixes `count` frames into out (packed, 6 bytes a frame) from the
  // sources' frames at the same moments; a source not being played or faded
  // may be missing.
  void Mix(const std::array<const std::uint8_t*, kSourceCount>& sources, std::int64_t count, std::uint8_t* out);

  Source Playing() const { return to_; }
  bool Fading() const { return fadeDone_ < fadeFrames_; }
  // Frames mixed so far, and the first frame of the last fade (for tests and
  // the latency measure).
  std::int64_t FramesMixed() const { return mixed_; }
  std::optional<std::int64_t> LastFadeStart() const { return lastFadeStart_; }

 private:
  std::int64_t fadeFrames_;
  Source from_;
  Source to_;
  std::int64_t fadeDone_;
  std::optional<Source> waiting_;
  std::int64_t mixed_ = 0;
  std::optional<std::int64_t> lastFadeStart_;
};

}  // namespace quenlow::listen
