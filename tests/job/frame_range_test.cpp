#include "job/frame_range.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "job/job.h"
#include "dsp/filter_taps.h"
#include "dsp/signal_chain.h"
#include "support/first_difference.h"
#include "support/recording.h"
#include "wav/recording_reader.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

using test::Bytes;
using test::FirstDifference;

const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";
constexpr std::size_t kHeaderBytes = 44;

std::vector<std::int16_t> TonesAndNoise(std::size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 2000.0);
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double tone = 24000.0 * std::sin(0.013 * static_cast<double>(i / 2) * (1 + i % 2));
    samples[i] = static_cast<std::int16_t>(std::clamp(tone + noise(random), -32768.0, 32767.0));
  }
  return samples;
}

// The job's two files for one recording, and the recording to render from.
struct Written {
  test::ScratchFolder folder;
  test::Recording recording;
  Bytes unfiltered;
  Bytes filtered;
};

void WriteOutputs(Written& w, std::size_t frames) {
  w.recording = test::WriteRecording(w.folder, "take.wav", TonesAndNoise(frames, 7));
  JobOptions options;
  options.filterFile = kSuppliedFilter;
  ASSERT_TRUE(ProcessRecording(w.recording.path, w.recording.info, w.recording.frames, options));
  w.unfiltered = test::ReadWholeFile(w.folder.Path("take QLW unfiltered.wav"));
  w.filtered = test::ReadWholeFile(w.folder.Path("take QLW filtered.wav"));
}

// The file's frames [first, first + count), zero bytes where it has none.
Bytes FileFrames(const Bytes& file, std::int64_t first, std::int64_t count) {
  Bytes frames(static_cast<std::size_t>(count) * kPackedFrameBytes, 0);
  const auto held = static_cast<std::int64_t>((file.size() - kHeaderBytes) / kPackedFrameBytes);
  for (std::int64_t f = std::max<std::int64_t>(first, 0); f < std::min(first + count, held); ++f) {
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(kHeaderBytes + f * kPackedFrameBytes), kPackedFrameBytes,
                frames.begin() + (f - first) * kPackedFrameBytes);
  }
  return frames;
}

TEST(FrameRange, AnyStretchOfEitherPassIsTheWrittenFilesBytes) {
  Written w;
  WriteOutputs(w, 40000);
  ASSERT_FALSE(w.filtered.empty());
  const std::optional<FilterTaps> taps = LoadFilterTaps(kSuppliedFilter);
  ASSERT_TRUE(taps);
  const std::int64_t unfilteredFrames = UnfilteredFrameCount(40000);
  const std::int64_t filteredFrames = FilteredFrameCount(40000);
  struct Stretch {
    const char* name;
    std::int64_t first;
    std::int64_t count;
  };
  const std::vector<Stretch> stretches = {
      {"the start", 0, 5000},
      {"an odd frame inside the filter's history", 3, 300},
      {"the middle, across several windows", 12345, 150001},
      {"the last frames", unfilteredFrames - 777, 777},
      {"the filtered file's tail beyond the input", unfilteredFrames - 10, 224},
      {"past the end", filteredFrames - 5, 20},
      {"before the start", -9, 30},
  };
  RecordingReader reader(w.recording.path, w.recording.info, w.recording.frames);
  for (const OutputPass pass : {OutputPass::kUnfiltered, OutputPass::kFiltered}) {
    FrameRangeRenderer renderer(reader, w.recording.frames, pass, *taps, 2);
    const bool filtered = pass == OutputPass::kFiltered;
    EXPECT_EQ(renderer.Frames(), filtered ? filteredFrames : unfilteredFrames);
    // In a shuffled order: each stretch stands on its own.
    for (const Stretch& s : {stretches[2], stretches[0], stretches[5], stretches[1], stretches[3], stretches[6],
                             stretches[4]}) {
      Bytes got(static_cast<std::size_t>(s.count) * kPackedFrameBytes, 0xAB);
      ASSERT_TRUE(renderer.Render(s.first, s.count, got.data()));
      EXPECT_EQ(FirstDifference(got, FileFrames(filtered ? w.filtered : w.unfiltered, s.first, s.count)), "")
          << (filtered ? "filtered, " : "unfiltered, ") << s.name;
    }
  }
}

// A source that fails after it has been read a given number of times.
class FailingSource : public SampleSource {
 public:
  explicit FailingSource(int goodReads) : goodReads_(goodReads) {}
  bool Ok() const override { return goodReads_ >= 0; }
  SourceFailure Failure() const override { return {}; }
  bool Read(std::int64_t, std::int64_t count, std::int16_t* out) override {
    std::fill_n(out, 2 * count, std::int16_t{1000});
    return --goodReads_ >= 0;
  }

 private:
  int goodReads_;
};

TEST(FrameRange, ASourceThatCannotBeReadStopsTheRender) {
  FailingSource source(1);
  FrameRangeRenderer renderer(source, 100000, OutputPass::kUnfiltered, FilterTaps{});
  std::vector<std::uint8_t> out(static_cast<std::size_t>(200000) * kPackedFrameBytes);
  // The first window is read, the second is not.
  EXPECT_FALSE(renderer.Render(0, 200000, out.data()));
}

}  // namespace
}  // namespace quenlow
