// The three sources a listener switches between, on one timeline at the
// outputs' rate: frame t of each is heard at the same moment of the music.
//   unfiltered: frame t of the unfiltered output;
//   filtered:   frame t + delay of the filtered output (its filter's delay
//               taken out);
//   original:   the ideal reconstruction of the recording (ideal_reconstruction.h).
// The timeline is as long as the unfiltered output.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "dsp/filter_taps.h"
#include "job/frame_range.h"
#include "listen/ideal_reconstruction.h"
#include "wav/sample_source.h"

namespace quenlow::listen {

enum class Source { kUnfiltered = 0, kFiltered = 1, kOriginal = 2 };
inline constexpr int kSourceCount = 3;

std::string_view SourceName(Source source);
std::optional<Source> SourceNamed(std::string_view name);

// How far the filtered output lags: the centre of its taps, which is the
// delay of a symmetric (linear-phase) filter. For another filter it is the
// delay used all the same, and the listener is told so.
inline constexpr std::int64_t kFilteredDelayFrames = (TapCount - 1) / 2;
bool TapsAreSymmetric(const FilterTaps& taps);

class SourceTimeline {
 public:
  // `inputRate`: the recording's rate (44100 or 48000).
  SourceTimeline(SampleSource& source, std::int32_t inputRate, std::int64_t inputFrames, const FilterTaps& taps);

  std::int64_t Frames() const { return frames_; }
  std::int32_t Rate() const { return rate_; }

  // Frames [first, first + count) of one source, packed 6 bytes a frame;
  // silence outside the timeline. False when the recording could not be read.
  bool Render(Source source, std::int64_t first, std::int64_t count, std::uint8_t* out);

 private:
  std::int64_t frames_;
  std::int32_t rate_;
  FrameRangeRenderer unfiltered_;
  FrameRangeRenderer filtered_;
  IdealReconstruction original_;
};

}  // namespace quenlow::listen
