// Both passes of the signal chain, produced piece by piece for streaming.
//
// Any frame of either output follows from the input samples, the taps and
// the random source's state at the start of its pass: frame f takes draws
// 4f .. 4f + 3 of the pass. So a pass can be produced in pieces of
// consecutive frames, in any order and on any thread, and still give the
// same bytes as the whole-array chain.
#pragma once

#include <cstdint>

#include "dsp/filter_taps.h"
#include "dsp/oversampler.h"
#include "dsp/uniform_source.h"

namespace quenlow {

// The input as it lies in memory, left and right interleaved: the whole
// recording, or a window of it that starts at frame `firstFrame` and holds
// the frames one piece of a pass reads (PieceInputFrames).
struct SignalInput {
  const std::int16_t* interleaved = nullptr;
  std::int64_t frames = 0;      // N, the recording's length, whatever the window
  std::int64_t firstFrame = 0;  // the frame whose left sample is interleaved[0]

  // The left sample of frame `frame`, its right one just after it.
  const std::int16_t* At(std::int64_t frame) const { return interleaved + 2 * (frame - firstFrame); }
};

inline constexpr int kDrawsPerFrame = 4;
inline constexpr int kPackedFrameBytes = 6;

// How many input frames before its own a filtered frame reaches back to: its
// 215 taps span 214 held samples, which lie in at most 54 earlier frames.
inline constexpr std::int64_t kFilterHistoryFrames = (TapCount - 1 + OversamplingRatio - 1) / OversamplingRatio;

// A run of input frames.
struct FrameSpan {
  std::int64_t first = 0;
  std::int64_t count = 0;
};

// The input frames that output frames [first, first + count) of a pass read,
// within the recording's inputFrames: the frames they hold and, for the
// filtered pass, the history before them.
FrameSpan PieceInputFrames(bool filtered, std::int64_t inputFrames, std::int64_t first, std::int64_t count);

inline std::int64_t UnfilteredFrameCount(std::int64_t inputFrames) {
  return inputFrames * OversamplingRatio;
}
inline std::int64_t FilteredFrameCount(std::int64_t inputFrames) {
  return inputFrames * OversamplingRatio + (TapCount - 1);
}

// The random source at the first draw of frame `frame` of a pass.
inline UniformSource SourceAtFrame(UniformSource passStart, std::int64_t frame) {
  return JumpAhead(passStart, static_cast<std::uint64_t>(frame) * kDrawsPerFrame);
}

// The source at the start of the filtered pass: after the unfiltered pass.
inline UniformSource FilteredPassStart(UniformSource jobStart, std::int64_t inputFrames) {
  return SourceAtFrame(jobStart, UnfilteredFrameCount(inputFrames));
}

// Frames [first, first + count) of the unfiltered output, packed into `out`
// (6 bytes a frame).
void ProduceUnfilteredFrames(const SignalInput& input, UniformSource passStart, std::int64_t first,
                             std::int64_t count, std::uint8_t* out);

// Frames [first, first + count) of the filtered output, each value by the
// reference sequence of roundings. Slow: the oracle for faster paths.
void ProduceFilteredFramesExact(const SignalInput& input, const FilterTaps& taps, UniformSource passStart,
                                std::int64_t first, std::int64_t count, std::uint8_t* out);

}  // namespace quenlow
