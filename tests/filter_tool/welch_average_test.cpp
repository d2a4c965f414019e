// The spectra of a pure tone's outputs, made by the job itself: the
// unfiltered file shows the tone's images around multiples of the input
// rate at the levels the four-sample hold gives them, and the filter leaves
// little of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "job/job.h"
#include "dsp/filter_response.h"
#include "dsp/filter_taps.h"
#include "filter_tool/welch_average.h"
#include "filter_tool/welch_command.h"
#include "support/recording.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";
constexpr double kInputRate = 44100.0;
constexpr double kOutputRate = 4.0 * kInputRate;
constexpr int kSegment = 8192;
// The tone sits on a frequency point of both spectra: 47 points of
// 176400 / 8192 Hz, 188 of 44100 / 8192 Hz.
constexpr double kToneHz = 47.0 * kOutputRate / kSegment;
constexpr double kToneAmplitude = 0.5;  // of full scale
constexpr double kQuantiserGain = 0.999;

// Holding each input sample for four output samples weighs frequency f by
// |sin(4 pi f / fs) / (4 sin(pi f / fs))|, the sampled sinc of the hold.
double HoldGain(double hz) {
  const double x = std::numbers::pi * hz / kOutputRate;
  return std::fabs(std::sin(4.0 * x) / (4.0 * std::sin(x)));
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

class ToneOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    const int frames = 44100;
    std::vector<std::int16_t> samples;
    for (int n = 0; n < frames; ++n) {
      const double value = kToneAmplitude * 32768.0 * std::sin(2.0 * std::numbers::pi * kToneHz * n / kInputRate);
      const auto sample = static_cast<std::int16_t>(std::lround(value));
      samples.push_back(sample);
      samples.push_back(sample);
    }
    const test::Recording recording = test::WriteRecording(folder_, "tone.wav", samples);
    ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, JobOptions{{}, kSuppliedFilter}));
  }

  Spectrum Of(const std::string& name, int segment) {
    std::string error;
    std::optional<Spectrum> spectrum = FileSpectrum(folder_.Path(name), {}, segment, error);
    EXPECT_TRUE(spectrum) << error;
    return spectrum.value_or(Spectrum{});
  }

  test::ScratchFolder folder_;
};

TEST_F(ToneOutputs, UnfilteredImagesFollowTheHoldsSincAndTheFilterRemovesThem) {
  const Spectrum input = Of("tone.wav", kSegment / 4);
  const Spectrum unfiltered = Of("tone QLW unfiltered.wav", kSegment);
  const Spectrum filtered = Of("tone QLW filtered.wav", kSegment);
  ASSERT_EQ(unfiltered.sampleRate, kOutputRate);
  ASSERT_GT(unfiltered.segments, 30);
  const FilterTaps taps = *LoadFilterTaps(kSuppliedFilter);

  const std::size_t tonePoint = 47;
  EXPECT_NEAR(input.LevelDb(tonePoint), Db(kToneAmplitude), 0.01);

  // The tone and its images: k * 44100 +- f up to half the output rate.
  const double lines[] = {kToneHz, kInputRate - kToneHz, kInputRate + kToneHz, 2.0 * kInputRate - kToneHz};
  for (double hz : lines) {
    SCOPED_TRACE(hz);
    const auto point = static_cast<std::size_t>(std::lround(hz / kOutputRate * kSegment));
    const double expected = Db(kToneAmplitude * kQuantiserGain * HoldGain(hz));
    EXPECT_NEAR(unfiltered.LevelDb(point), expected, 0.05);
    // No stronger line nearby: the image is where it belongs.
    for (std::size_t k = point - 40; k <= point + 40; ++k) {
      if (k != point) {
        EXPECT_LT(unfiltered.LevelDb(k), expected);
      }
    }
    if (hz < kInputRate / 2.0) {
      EXPECT_NEAR(filtered.LevelDb(point), expected + Db(std::fabs(SymmetricFilterGain(taps, hz, kOutputRate))), 0.05);
    } else {
      EXPECT_LT(filtered.LevelDb(point), expected - 70.0);
    }
  }
  // Between the tone and its first image the unfiltered file holds only
  // quantisation noise.
  EXPECT_LT(unfiltered.LevelDb(1024), -110.0);

  // Each band of 22050 Hz holds exactly one line, so its level is that line's.
  for (std::size_t band = 0; band < 4; ++band) {
    SCOPED_TRACE(band);
    EXPECT_NEAR(unfiltered.BandLevelDb(band * 22050.0, (band + 1) * 22050.0),
                Db(kToneAmplitude * kQuantiserGain * HoldGain(lines[band])), 0.05);
  }
}

TEST_F(ToneOutputs, TextListsTheBandsOfEachFileAndAPictureIsDrawn) {
  SpectrumOptions options;
  options.files = {folder_.Path("tone.wav"), folder_.Path("tone QLW unfiltered.wav")};
  options.text = true;
  std::ostringstream out, err;
  ASSERT_EQ(RunSpectrum(options, out, err), 0) << err.str();
  EXPECT_THAT(out.str(), ::testing::HasSubstr("tone.wav (44100 Hz, 42 segments of 2048 frames)"));
  EXPECT_THAT(out.str(), ::testing::HasSubstr("    66150 -   88200 Hz   level   -40.92 dB   peak   -40.92 dB at  87187.9 Hz"));

  options.text = false;
  options.output = folder_.Path("spectra.png");
  options.stretch = {0.25, 0.75};
  ASSERT_EQ(RunSpectrum(options, out, err), 0) << err.str();
  EXPECT_THAT(folder_.Entries(), ::testing::Contains("spectra.png"));
}

TEST(Spectrum, RefusesTooManyFilesAStretchOutsideTheFileAndAMissingFile) {
  SpectrumOptions options;
  options.text = true;
  std::ostringstream out, err;
  options.files = {"a", "b", "c", "d", "e"};
  EXPECT_EQ(RunSpectrum(options, out, err), 2);
  options.files = {"/nonexistent.wav"};
  EXPECT_EQ(RunSpectrum(options, out, err), 1);
  EXPECT_THAT(err.str(), ::testing::HasSubstr("/nonexistent.wav"));
}

// A band's edge belongs to the band above it alone: two adjacent bands hold
// the power of the band they make, and a tone on the edge between two bands
// is the peak of the upper one, at its own level.
TEST(Spectrum, ABandsEdgeIsCountedOnce) {
  constexpr double kRate = 176400.0;
  constexpr int kFrames = 16 * 8192;
  std::vector<double> samples;
  for (int n = 0; n < kFrames; ++n) samples.push_back(0.5 * std::sin(2.0 * std::numbers::pi * 22050.0 * n / kRate));
  const Spectrum spectrum = WelchSpectrum(samples, 1, kRate, 8192);
  auto power = [&](double from, double to) { return std::pow(10.0, spectrum.BandLevelDb(from, to) / 10.0); };
  for (const double edge : {22050.0, 22050.0 + 3 * kRate / 8192}) {
    EXPECT_NEAR(power(0.0, edge) + power(edge, 44100.0), power(0.0, 44100.0), 1e-12) << edge;
  }

  test::ScratchFolder folder;
  test::HeaderFigures figures;
  figures.channelField = 1;
  figures.sampleRate = static_cast<std::uint32_t>(kRate);
  figures.dataSize = 2 * kFrames;
  test::Bytes file = test::CanonicalHeader(figures);
  for (const double value : samples) {
    const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32768.0)));
    file.push_back(static_cast<std::uint8_t>(sample));
    file.push_back(static_cast<std::uint8_t>(sample >> 8));
  }
  SpectrumOptions options;
  options.files = {folder.Write("edge.wav", file)};
  options.text = true;
  std::ostringstream out, err;
  ASSERT_EQ(RunSpectrum(options, out, err), 0) << err.str();
  std::istringstream lines(out.str());
  int bands = 0;
  for (std::string line; std::getline(lines, line);) {
    double from = 0, to = 0, level = 0, peak = 0, peakHz = 0;
    if (std::sscanf(line.c_str(), " %lf - %lf Hz level %lf dB peak %lf dB at %lf Hz", &from, &to, &level, &peak,
                    &peakHz) != 5) {
      continue;
    }
    ++bands;
    if (from == 22050.0) {
      EXPECT_EQ(peakHz, 22050.0) << line;
      EXPECT_NEAR(peak, Db(0.5), 0.01) << line;
    } else {
      EXPECT_NE(peakHz, 22050.0) << line;
    }
  }
  EXPECT_EQ(bands, 4) << out.str();
}

}  // namespace
}  // namespace quenlow
