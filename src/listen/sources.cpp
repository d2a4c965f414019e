#include "listen/sources.h"

#include <algorithm>
#include <cstring>

#include "dsp/oversampler.h"
#include "dsp/signal_chain.h"

namespace quenlow::listen {

std::string_view SourceName(Source source) {
  switch (source) {
    case Source::kUnfiltered: return "unfiltered";
    case Source::kFiltered: return "filtered";
    case Source::kOriginal: return "original";
  }
  return "";
}

std::optional<Source> SourceNamed(std::string_view name) {
  for (const Source source : {Source::kUnfiltered, Source::kFiltered, Source::kOriginal}) {
    if (SourceName(source) == name) return source;
  }
  return std::nullopt;
}

bool TapsAreSymmetric(const FilterTaps& taps) {
  for (std::size_t k = 0; k < taps.size() / 2; ++k) {
    if (taps[k] != taps[taps.size() - 1 - k]) return false;
  }
  return true;
}

SourceTimeline::SourceTimeline(SampleSource& source, std::int32_t inputRate, std::int64_t inputFrames,
                               const FilterTaps& taps)
    : frames_(UnfilteredFrameCount(inputFrames)),
      rate_(inputRate * OversamplingRatio),
      unfiltered_(source, inputFrames, OutputPass::kUnfiltered, taps),
      filtered_(source, inputFrames, OutputPass::kFiltered, taps),
      original_(source, inputFrames) {}

bool SourceTimeline::Render(Source source, std::int64_t first, std::int64_t count, std::uint8_t* out) {
  switch (source) {
    case Source::kUnfiltered: return unfiltered_.Render(first, count, out);
    case Source::kFiltered: return filtered_.Render(first + kFilteredDelayFrames, count, out);
    case Source::kOriginal: break;
  }
  // The reconstruction rings on past the recording's ends; the timeline
  // stops where the outputs' music does.
  const std::int64_t from = std::clamp<std::int64_t>(first, 0, frames_);
  const std::int64_t to = std::clamp<std::int64_t>(first + count, from, frames_);
  std::memset(out, 0, static_cast<std::size_t>(count) * kPackedFrameBytes);
  return original_.Render(from, to - from, out + (from - first) * kPackedFrameBytes);
}

}  // namespace quenlow::listen
