#include "job/frame_range.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "dsp/filtered_pass.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "dsp/uniform_source.h"

namespace quenlow {
namespace {

// Output frames rendered from one window of the input, so that the window
// stays small however much is asked for at once.
constexpr std::int64_t kWindowPieceFrames = std::int64_t{1} << 16;

}  // namespace

// The job's random source starts the unfiltered pass and runs on through it
// into the filtered one; each pass object jumps to any frame's draws by
// itself, so the renderer holds just the two starts the job uses.
struct FrameRangeRenderer::Passes {
  std::optional<UnfilteredPass> unfiltered;
  std::optional<FilteredPass> filtered;
};

FrameRangeRenderer::FrameRangeRenderer(SampleSource& source, std::int64_t inputFrames, OutputPass pass,
                                       const FilterTaps& taps, int threads)
    : source_(source),
      inputFrames_(inputFrames),
      frames_(pass == OutputPass::kFiltered ? FilteredFrameCount(inputFrames) : UnfilteredFrameCount(inputFrames)),
      filtered_(pass == OutputPass::kFiltered),
      passes_(std::make_unique<Passes>()),
      window_(2 * static_cast<std::size_t>(kWindowPieceFrames / OversamplingRatio + 1 + kFilterHistoryFrames)) {
  const SignalInput whole{nullptr, inputFrames};
  const UniformSource jobStart;
  if (filtered_) {
    passes_->filtered.emplace(whole, taps, FilteredPassStart(jobStart, inputFrames), threads);
  } else {
    passes_->unfiltered.emplace(whole, jobStart, threads);
  }
}

FrameRangeRenderer::~FrameRangeRenderer() = default;

bool FrameRangeRenderer::Render(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  if (count <= 0) return true;
  // Frames outside the file: silence, and the rest from where the file has
  // frames.
  const std::int64_t from = std::clamp<std::int64_t>(first, 0, frames_);
  const std::int64_t to = std::clamp<std::int64_t>(first + count, from, frames_);
  std::memset(out, 0, static_cast<std::size_t>(count) * kPackedFrameBytes);
  out += (from - first) * kPackedFrameBytes;
  for (std::int64_t piece = from; piece < to; piece += kWindowPieceFrames) {
    const std::int64_t n = std::min(kWindowPieceFrames, to - piece);
    const FrameSpan span = PieceInputFrames(filtered_, inputFrames_, piece, n);
    if (span.count > 0 && !source_.Read(span.first, span.count, window_.data())) return false;
    const SignalInput window{window_.data(), inputFrames_, span.first};
    if (filtered_) {
      passes_->filtered->SetInput(window);
      passes_->filtered->Produce(piece, n, out);
    } else {
      passes_->unfiltered->SetInput(window);
      passes_->unfiltered->Produce(piece, n, out);
    }
    out += n * kPackedFrameBytes;
  }
  return true;
}

}  // namespace quenlow
