// quenlow-listen --play through a real ALSA device path: the default device
// of a scratch HOME writes what it is given to a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "version.h"
#include "dsp/quantiser.h"
#include "listen/listen_test_support.h"
#include "support/first_difference.h"

namespace quenlow::listen {
namespace {

using quenlow::test::FirstDifference;
using test::Bytes;

constexpr std::int64_t kRate = 176400;
constexpr std::int64_t kFilterDelay = 107;

std::int64_t FrameAt(double seconds) { return std::llround(seconds * kRate); }

// What the device was given for a stretch of `frames`: the stretch, then
// the silence that carries its end through the device's buffer.
Bytes Stretch(const Bytes& played, std::int64_t frames, std::string& trailing) {
  const auto size = static_cast<std::size_t>(frames * 6);
  if (played.size() < size) return played;
  if (std::any_of(played.begin() + static_cast<std::ptrdiff_t>(size), played.end(), [](std::uint8_t b) { return b != 0; })) {
    trailing = "sound after the stretch";
  }
  return Bytes(played.begin(), played.begin() + static_cast<std::ptrdiff_t>(size));
}

std::string Args(const std::string& source, double from, double to, const std::string& recording) {
  return "--filter " + test::kSuppliedFilter + " --play " + source + " --from " + std::to_string(from) + " --to " +
         std::to_string(to) + " " + recording;
}

TEST(AlsaPlay, EachOutputPlaysTheFilesBytesFromAnArbitraryFrame) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(44100 * 3, 11));
  ASSERT_FALSE(files.filtered.empty());
  const test::AlsaFileHome home;
  // Two seconds from a frame that lines up with nothing.
  const double from = 0.4123;
  const double to = from + 2.0;
  const std::int64_t first = FrameAt(from);
  const std::int64_t count = FrameAt(to) - first;
  struct Case {
    const char* source;
    const Bytes* file;
    std::int64_t offset;  // the file's frame for timeline frame 0
  };
  for (const Case& c : {Case{"unfiltered", &files.unfiltered, 0}, Case{"filtered", &files.filtered, kFilterDelay}}) {
    const test::Run run = test::RunListen(home.Home(), Args(c.source, from, to, files.recording.path));
    ASSERT_EQ(run.status, 0) << c.source << ": " << run.err;
    std::string trailing;
    const Bytes played = Stretch(quenlow::test::ReadWholeFile(home.Recorded()), count, trailing);
    EXPECT_EQ(FirstDifference(played, test::FileFrames(*c.file, first + c.offset, count)), "")
        << c.source << ": the played bytes against the file's";
    EXPECT_EQ(trailing, "") << c.source;
  }
}

// A recording that is exactly a sum of sampled cosines (7350 Hz in the
// left channel, 11025 Hz in the right: their samples are whole numbers), so
// its ideal reconstruction is known in closed form at every instant.
constexpr double kLeftAmplitude = 16000;
constexpr double kRightAmplitude = 12000;

std::vector<std::int16_t> ExactCosines(std::size_t frames) {
  const int left[6] = {2, 1, -1, -2, -1, 1};
  const int right[4] = {1, 0, -1, 0};
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t n = 0; n < frames; ++n) {
    samples[2 * n] = static_cast<std::int16_t>(8000 * left[n % 6]);
    samples[2 * n + 1] = static_cast<std::int16_t>(12000 * right[n % 4]);
  }
  return samples;
}

// The reconstruction at input time tau, scaled as the outputs are.
double Ideal(int channel, double tau) {
  const double value = channel == 0 ? kLeftAmplitude * std::cos(2 * std::numbers::pi * tau / 6)
                                    : kRightAmplitude * std::cos(2 * std::numbers::pi * tau / 4);
  return value * 256 * QuantiserGain;
}

std::int32_t Sample24(const Bytes& bytes, std::size_t at) {
  const auto bits = static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
                    static_cast<std::uint32_t>(bytes[at + 2]) << 16;
  return static_cast<std::int32_t>(bits << 8) >> 8;
}

TEST(AlsaPlay, OriginalIsTheIdealReconstructionWithinTheDither) {
  quenlow::test::ScratchFolder folder;
  const quenlow::test::Recording recording = quenlow::test::WriteRecording(folder, "cos.wav", ExactCosines(44100));
  const test::AlsaFileHome home;
  const double from = 0.3;
  const test::Run run = test::RunListen(home.Home(), Args("original", from, from + 0.25, recording.path));
  ASSERT_EQ(run.status, 0) << run.err;
  std::string trailing;
  const Bytes played = Stretch(quenlow::test::ReadWholeFile(home.Recorded()), FrameAt(from + 0.25) - FrameAt(from), trailing);
  ASSERT_EQ(static_cast<std::int64_t>(played.size()), (FrameAt(from + 0.25) - FrameAt(from)) * 6);
  EXPECT_EQ(trailing, "");
  // Frame t of the timeline is the reconstruction 2 frames after sample
  // t / 4's instant: the held outputs are 1.5 frames late, so the sources
  // stand within one frame of each other.
  double worst = 0;
  std::int64_t worstFrame = 0;
  for (std::size_t i = 0; i < played.size() / 6; ++i) {
    const std::int64_t t = FrameAt(from) + static_cast<std::int64_t>(i);
    for (int channel = 0; channel < 2; ++channel) {
      const double error = std::abs(Sample24(played, 6 * i + 3 * channel) - Ideal(channel, (t - 2) / 4.0));
      if (error > worst) {
        worst = error;
        worstFrame = t;
      }
    }
  }
  // The triangular dither and the rounding reach 1.5 steps; the resampler's
  // own error is far below one. One frame of misalignment would be
  // thousands of steps, a gain without the outputs' 0.999 five thousand.
  EXPECT_LE(worst, 2.0) << "at timeline frame " << worstFrame;
}

TEST(AlsaPlay, ADeviceThatCannotTakeTheRateIsExplainedAndStops) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(4410, 12));
  const test::AlsaFileHome home;
  // ALSA's AC-3 encoder plays 48000 Hz and nothing faster.
  home.Configure("pcm.!default { type a52; slavepcm \"null\"; rate 48000; channels 2 }\n");
  const test::Run run = test::RunListen(home.Home(), Args("filtered", 0, 0.05, files.recording.path));
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("cannot play 176400 Hz"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("the fastest rate it offers is 48000 Hz"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("would sound the same"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("above 22 kHz"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("or add --any-rate"), std::string::npos) << run.err;

  // Asked to go on, it plays resampled to the device's rate, and says so.
  const test::Run anyway = test::RunListen(home.Home(), "--any-rate " + Args("filtered", 0, 0.05, files.recording.path));
  EXPECT_EQ(anyway.status, 0) << anyway.err;
  EXPECT_NE(anyway.err.find("playing at 48000 Hz, resampled: the device cannot play 176400 Hz. At this rate the "
                            "unfiltered and the filtered source sound the same."),
            std::string::npos)
      << anyway.err;
}

TEST(AlsaPlay, WrongCommandLinesAndDevicesAreToldAndFail) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(4410, 13));
  const test::AlsaFileHome home;
  struct Case {
    std::string arguments;
    int status;
    std::string said;
  };
  const std::string take = files.recording.path;
  const std::vector<Case> cases = {
      {"--device nonesuch " + Args("unfiltered", 0, 0.05, take), 1, "no sound device is named \"nonesuch\""},
      {Args("unfiltered", 5, 6, take), 2, "--from lies beyond the recording's end (0:00.1)"},
      {"--filter " + home.Home() + "/none.dat --play filtered " + take, 2, "cannot be read"},
      {"--play loud " + take, 2, "--play"},
      {"--abx original original " + take, 2, "two different sources"},
      {"--trials 0 --abx original filtered " + take, 2, "--trials"},
      {Args("unfiltered", 0, 0.05, home.Home() + "/missing.wav"), 1, "missing.wav"},
  };
  for (const Case& c : cases) {
    const test::Run run = test::RunListen(home.Home(), c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << c.arguments << "\n" << run.err;
  }  for (const char* flag : {"--version", "-V"}) {
    const test::Run run = test::RunListen(home.Home(), flag);
    EXPECT_EQ(run.status, 0) << flag;
    EXPECT_EQ(run.out, std::string("quenlow-listen ") + kVersion + "\n") << flag;
  }
}

}  // namespace
}  // namespace quenlow::listen
