// Any stretch of either output, rendered into memory from the recording: the
// bytes the output file holds at those frames (its data chunk, 6 bytes a
// frame), without writing the file. A program that plays the outputs, or
// checks a part of them, starts wherever it likes and goes on from there.
//
//   FrameRangeRenderer filtered(source, inputFrames, OutputPass::kFiltered, taps);
//   filtered.Render(first, count, bytes);  // frames [first, first + count)
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/filter_taps.h"
#include "wav/sample_source.h"

namespace quenlow {

enum class OutputPass { kUnfiltered, kFiltered };

class FrameRangeRenderer {
 public:
  // `source` holds the recording's `inputFrames` frames and must outlive the
  // renderer; the taps matter to the filtered pass only. `threads` as the
  // passes take it (0: all the machine has).
  FrameRangeRenderer(SampleSource& source, std::int64_t inputFrames, OutputPass pass, const FilterTaps& taps,
                     int threads = 1);
  ~FrameRangeRenderer();
  FrameRangeRenderer(const FrameRangeRenderer&) = delete;
  FrameRangeRenderer& operator=(const FrameRangeRenderer&) = delete;

  // How many frames the output file holds.
  std::int64_t Frames() const { return frames_; }

  // Frames [first, first + count) into `out` (count * 6 bytes), exactly as
  // the file holds them; frames past the end (or before 0) are not in the
  // file and come as zero bytes. False when the source could not be read.
  bool Render(std::int64_t first, std::int64_t count, std::uint8_t* out);

 private:
  struct Passes;
  SampleSource& source_;
  std::int64_t inputFrames_;
  std::int64_t frames_;
  bool filtered_;
  std::unique_ptr<Passes> passes_;
  std::vector<std::int16_t> window_;
};

}  // namespace quenlow
