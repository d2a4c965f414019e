#include "listen/ideal_reconstruction.h"

#include <soxr.h>

#include <algorithm>

#include "dsp/quantiser.h"
#include "dsp/signal_chain.h"
#include "dsp/uniform_source.h"

namespace quenlow::listen {
namespace {

// Input frames fed before the first frame asked for, so that the resampler
// has its whole impulse response of history (a few hundred frames at this
// quality) wherever playing starts.
constexpr std::int64_t kHistoryFrames = 2048;
constexpr std::int64_t kInputChunk = 1024;

// Where the reconstruction's dither draws start: its own stretch of the
// generator, far from both outputs' draws. Frame t takes draws 4t .. 4t + 3
// from here, so any frame's bytes are the same however playing got there.
const UniformSource kDitherStart = JumpAhead(UniformSource{}, std::uint64_t{1} << 50);

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

IdealReconstruction::IdealReconstruction(SampleSource& source, std::int64_t inputFrames)
    : source_(source),
      inputFrames_(inputFrames),
      read_(2 * kInputChunk),
      input_(2 * kInputChunk),
      output_(4 * kInputChunk * OversamplingRatio) {}

IdealReconstruction::~IdealReconstruction() {
  if (resampler_) soxr_delete(resampler_);
}

bool IdealReconstruction::Restart(std::int64_t first) {
  if (!resampler_) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, SOXR_LINEAR_PHASE);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    resampler_ = soxr_create(1.0, OversamplingRatio, 2, &error, &io, &quality, &runtime);
    if (error || !resampler_) return false;
  } else if (soxr_clear(resampler_)) {
    return false;
  }
  // Output j of a fresh resampler stands at input time j / 4 from its first
  // input frame: the resampler takes its own delay out.
  nextInput_ = FloorDiv(first - kAlignmentFrames, OversamplingRatio) - kHistoryFrames;
  nextOutput_ = nextInput_ * OversamplingRatio + kAlignmentFrames;
  outputHeld_ = 0;
  outputTaken_ = 0;
  return true;
}

// Gives the resampler the next stretch of input (silence before the recording
// and after it) and keeps what it returns.
bool IdealReconstruction::FeedInput() {
  std::fill(read_.begin(), read_.end(), std::int16_t{0});
  const std::int64_t from = std::clamp<std::int64_t>(nextInput_, 0, inputFrames_);
  const std::int64_t to = std::clamp<std::int64_t>(nextInput_ + kInputChunk, 0, inputFrames_);
  if (to > from && !source_.Read(from, to - from, read_.data() + 2 * (from - nextInput_))) return false;
  for (std::size_t i = 0; i < input_.size(); ++i) input_[i] = read_[i];
  std::size_t used = 0;
  std::size_t made = 0;
  const soxr_error_t error = soxr_process(resampler_, input_.data(), kInputChunk, &used, output_.data(),
                                          output_.size() / 2, &made);
  if (error || used != static_cast<std::size_t>(kInputChunk)) return false;
  nextInput_ += kInputChunk;
  outputHeld_ = made;
  outputTaken_ = 0;
  return true;
}

bool IdealReconstruction::Render(std::int64_t first, std::int64_t count, std::uint8_t* out) {
  if (count <= 0) return true;
  if (!resampler_ || first != nextOutput_) {
    if (!Restart(first)) return false;
  }
  UniformSource draws = SourceAtFrame(kDitherStart, std::max<std::int64_t>(first, 0));
  std::int64_t done = 0;
  while (done < count) {
    if (outputTaken_ == outputHeld_ && !FeedInput()) {
      resampler_ = resampler_ ? (soxr_delete(resampler_), nullptr) : nullptr;
      return false;
    }
    for (; outputTaken_ < outputHeld_ && done < count; ++outputTaken_, ++nextOutput_) {
      if (nextOutput_ < first) continue;  // history, before the frames asked for
      const double* frame = output_.data() + 2 * outputTaken_;
      std::int32_t left = 0;
      std::int32_t right = 0;
      if (nextOutput_ >= 0) {
        left = QuantiseTo24(frame[0], draws);
        right = QuantiseTo24(frame[1], draws);
      }
      PackSample24(left, out);
      PackSample24(right, out + 3);
      out += kPackedFrameBytes;
      ++done;
    }
  }
  return true;
}

}  // namespace quenlow::listen
