#include "job/job.h"
#include "app/dialogue_messages.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "job/pass_stream.h"
#include "dsp/filter_taps.h"
#include "dsp/filtered_pass.h"
#include "dsp/signal_chain.h"
#include "dsp/unfiltered_pass.h"
#include "support/first_difference.h"
#include "support/boundary_case.h"
#include "support/full_scale_case.h"
#include "support/recording.h"
#include "support/reference_chain.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

using test::Bytes;

const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

using test::Recording;
using test::WriteRecording;

std::vector<std::int16_t> MusicLikeSamples(std::size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, 3000.0);
  std::vector<std::int16_t> samples(2 * frames);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double tone = 20000.0 * std::sin(0.01 * static_cast<double>(i / 2) * (1 + i % 2));
    samples[i] = static_cast<std::int16_t>(std::clamp(tone + noise(random), -32768.0, 32767.0));
  }
  return samples;
}

Bytes DataOf(const Bytes& file) { return Bytes(file.begin() + 44, file.end()); }

struct Told {
  std::vector<std::string> messages;
  JobOptions Options(const std::string& filterFile) {
    JobOptions options;
    options.filterFile = filterFile;
    options.tell = [this](const JobNote& note) { messages.push_back(DialogueText(note)); };
    return options;
  }
};

FilterTaps SuppliedTaps() {
  const std::optional<FilterTaps> taps = LoadFilterTaps(kSuppliedFilter);
  EXPECT_TRUE(taps.has_value());
  return taps.value_or(FilterTaps{});
}

TEST(Job, OutputsAreTheReferenceChainsBytesBehindTheirHeaders) {
  test::ScratchFolder folder;
  const std::vector<std::int16_t> samples = MusicLikeSamples(300, 1);
  const Recording recording = WriteRecording(folder, "take1.wav", samples);
  Told told;
  ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, told.Options(kSuppliedFilter)));
  EXPECT_TRUE(told.messages.empty());

  const test::ReferenceOutputs reference = test::RunReferenceChain(samples, SuppliedTaps());
  const Bytes unfiltered = test::ReadWholeFile(folder.Path("take1 QLW unfiltered.wav"));
  const Bytes filtered = test::ReadWholeFile(folder.Path("take1 QLW filtered.wav"));
  ASSERT_EQ(unfiltered.size(), 44u + 24 * 300);
  ASSERT_EQ(filtered.size(), 44u + 24 * 300 + 1284);
  EXPECT_EQ(test::FirstDifference(DataOf(unfiltered), reference.unfiltered), "");
  EXPECT_EQ(test::FirstDifference(DataOf(filtered), reference.filtered), "");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"take1 QLW filtered.wav", "take1 QLW unfiltered.wav", "take1.wav"}));
}

// A recording longer than one piece of each pass: the job reads it piece by
// piece, each filtered piece with the 54 frames before it. The files must be
// those of the passes run over the whole recording held in memory, and the
// frames around the pieces' edge those of the reference arithmetic.
TEST(Job, ARecordingOfSeveralPiecesGivesTheBytesOfTheWholeInMemory) {
  constexpr std::int64_t kFrames = 70000;
  constexpr std::int64_t kEdge = kPieceFrames;
  static_assert(4 * kFrames > kEdge, "more than one piece");
  test::ScratchFolder folder;
  const std::vector<std::int16_t> samples = MusicLikeSamples(kFrames, 4);
  const Recording recording = WriteRecording(folder, "long.wav", samples);
  Told told;
  ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, told.Options(kSuppliedFilter)));
  const Bytes unfiltered = DataOf(test::ReadWholeFile(folder.Path("long QLW unfiltered.wav")));
  const Bytes filtered = DataOf(test::ReadWholeFile(folder.Path("long QLW filtered.wav")));

  const SignalInput whole{samples.data(), kFrames};
  const FilterTaps taps = SuppliedTaps();
  const UniformSource filteredStart = FilteredPassStart(UniformSource{}, kFrames);
  Bytes expected(static_cast<std::size_t>(UnfilteredFrameCount(kFrames)) * kPackedFrameBytes);
  UnfilteredPass(whole, UniformSource{}).Produce(0, UnfilteredFrameCount(kFrames), expected.data());
  EXPECT_EQ(test::FirstDifference(unfiltered, expected), "");
  expected.resize(static_cast<std::size_t>(FilteredFrameCount(kFrames)) * kPackedFrameBytes);
  FilteredPass(whole, taps, filteredStart).Produce(0, FilteredFrameCount(kFrames), expected.data());
  EXPECT_EQ(test::FirstDifference(filtered, expected), "");

  constexpr std::int64_t kAround = 300;
  Bytes exact(2 * kAround * kPackedFrameBytes);
  ProduceFilteredFramesExact(whole, taps, filteredStart, kEdge - kAround, 2 * kAround, exact.data());
  EXPECT_TRUE(std::equal(exact.begin(), exact.end(), filtered.begin() + (kEdge - kAround) * kPackedFrameBytes));
}

// The taps as a coefficient file, one per CR LF line, to 17 digits.
std::string WriteFilterFile(const test::ScratchFolder& folder, const FilterTaps& taps) {
  std::string text;
  for (double tap : taps) {
    char field[40];
    std::snprintf(field, sizeof field, "%.17g\r\n", tap);
    text += field;
  }
  return folder.Write("recfilt.dat", Bytes(text.begin(), text.end()));
}

// A coefficient file and a recording built so that one filtered value lies
// between the fast sum and the reference's: the program must write the
// reference's sample there, as everywhere.
TEST(Job, AValueBuiltToFoolTheFastFilterStillGetsTheReferencesBytes) {
  constexpr std::int64_t kFrames = 150;
  const UniformSource filteredStart = FilteredPassStart(UniformSource{}, kFrames);
  test::BoundaryCase c = test::MakeBoundaryCase(kFrames, filteredStart);
  test::ScratchFolder folder;
  const std::string filterFile = WriteFilterFile(folder, c.taps);
  c.taps = LoadFilterTaps(filterFile).value();
  const test::BoundaryDistances distances = test::MeasureBoundaryCase(c, filteredStart);
  ASSERT_GT(distances.belowBoundary, 0.0);
  ASSERT_LT(distances.belowBoundary, distances.keptTerms / 2) << "the fast sum would not cross the boundary";

  const Recording recording = WriteRecording(folder, "trap.wav", c.samples);
  Told told;
  ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, told.Options(filterFile)));
  const Bytes filtered = DataOf(test::ReadWholeFile(folder.Path("trap QLW filtered.wav")));
  const Bytes expected = test::RunReferenceChain(c.samples, c.taps).filtered;
  ASSERT_EQ(filtered.size(), expected.size());
  const auto trap = static_cast<std::size_t>(2 * c.trapFrame);
  EXPECT_EQ(test::UnpackSample24(filtered, trap), test::UnpackSample24(expected, trap)) << "at the crafted value";
  EXPECT_EQ(test::FirstDifference(filtered, expected), "");
}

TEST(Job, AValueJustPastFullScaleFromAWrittenFilterFileSaturatesAsTheReferenceDoes) {
  constexpr std::int64_t kFrames = 150;
  const UniformSource filteredStart = FilteredPassStart(UniformSource{}, kFrames);
  for (bool positive : {true, false}) {
    test::FullScaleCase c = test::MakeFullScaleCase(kFrames, filteredStart, positive);
    test::ScratchFolder folder;
    const std::string filterFile = WriteFilterFile(folder, c.taps);
    c.taps = LoadFilterTaps(filterFile).value();
    ASSERT_TRUE(test::FullScaleCaseHolds(c, filteredStart)) << "the taps as read back no longer trap";

    const Recording recording = WriteRecording(folder, "edge.wav", c.samples);
    Told told;
    ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, told.Options(filterFile)));
    const Bytes filtered = DataOf(test::ReadWholeFile(folder.Path("edge QLW filtered.wav")));
    const Bytes expected = test::RunReferenceChain(c.samples, c.taps).filtered;
    const auto trap = static_cast<std::size_t>(2 * c.trapFrame);
    ASSERT_EQ(test::UnpackSample24(expected, trap), positive ? kSample24Max : kSample24Min);
    EXPECT_EQ(test::UnpackSample24(filtered, trap), test::UnpackSample24(expected, trap))
        << (positive ? "above" : "below") << " the range";
    EXPECT_TRUE(filtered == expected);
  }
}

TEST(Job, WithoutACoefficientFileTheUserIsToldAndTheFilteredFileHoldsDitherAlone) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "loud.wav", MusicLikeSamples(40, 2));
  Told told;
  ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames,
                               told.Options(folder.Path("no such recfilt.dat"))));
  ASSERT_EQ(told.messages.size(), 1u);
  EXPECT_NE(told.messages[0].find("dither only"), std::string::npos) << told.messages[0];
  const Bytes filtered = test::ReadWholeFile(folder.Path("loud QLW filtered.wav"));
  ASSERT_EQ(filtered.size(), 44u + 6 * (4 * 40 + 214));
  for (std::size_t e = 0; e < (filtered.size() - 44) / 3; ++e) {
    const std::int32_t q = test::UnpackSample24(DataOf(filtered), e);
    ASSERT_TRUE(q >= -1 && q <= 1) << "element " << e;
  }
}

TEST(Job, AnEmptyRecordingStillGivesBothFiles) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "none.wav", {});
  Told told;
  ASSERT_TRUE(ProcessRecording(recording.path, recording.info, 0, told.Options(kSuppliedFilter)));
  EXPECT_EQ(test::ReadWholeFile(folder.Path("none QLW unfiltered.wav")).size(), 44u);
  EXPECT_EQ(test::ReadWholeFile(folder.Path("none QLW filtered.wav")).size(), 44u + 1284);
}

// A directory where the unfiltered file should go makes its write fail even
// for root. The two outputs go in place together, so the job stops before
// any work: the user is told, and the old filtered file stays as it was.
TEST(Job, AnOutputThatCannotBeReplacedStopsTheJobAndTheOldPairStays) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "take2.wav", MusicLikeSamples(10, 3));
  ASSERT_EQ(mkdir(folder.Path("take2 QLW unfiltered.wav").c_str(), 0755), 0);
  const Bytes old = {'o', 'l', 'd'};
  folder.Write("take2 QLW filtered.wav", old);
  Told told;
  EXPECT_FALSE(ProcessRecording(recording.path, recording.info, recording.frames, told.Options(kSuppliedFilter)));
  ASSERT_EQ(told.messages.size(), 1u);
  EXPECT_EQ(told.messages[0],
            " " + folder.Path("take2 QLW unfiltered.wav") + " is a folder: nothing was written  ");
  EXPECT_EQ(test::ReadWholeFile(folder.Path("take2 QLW filtered.wav")), old);
  EXPECT_EQ(folder.Entries(),
            (std::vector<std::string>{"take2 QLW filtered.wav", "take2 QLW unfiltered.wav", "take2.wav"}));
}

std::string Repeated(const std::string& field, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += field;
  return text;
}

// A coefficient file that is plainly not what was meant is read exactly as
// before, but the user is told what and where before the filtered pass, and
// the job goes on to write both files.
TEST(Job, ACoefficientFilePlainlyNotAsMeantIsToldInOneLineAndTheJobGoesOn) {
  const std::string supplied = [] {
    const Bytes bytes = test::ReadWholeFile(kSuppliedFilter);
    return std::string(bytes.begin(), bytes.end());
  }();
  std::string lineFeeds = supplied;
  std::erase(lineFeeds, '\r');
  std::string infinite = Repeated("0.001\r\n", 16) + "1e999\r\n" + Repeated("0.001\r\n", 198);
  const struct {
    const char* what;
    std::string text;
    std::string told;  // after the file's name; empty: nothing to tell
  } cases[] = {
      {"the supplied file", supplied, ""},
      {"line feeds alone", lineFeeds, " uses LF line ends: only 1 of 215 numbers was read  "},
      {"two numbers", "0.5,0.25\r\n", " holds only 2 of 215 numbers: the rest are taken as 0  "},
      {"an empty file", "", " holds only 0 of 215 numbers: the rest are taken as 0  "},
      {"a byte order mark", "\xEF\xBB\xBF" + supplied, " starts with a UTF-8 byte order mark: number 1 reads as 0  "},
      {"a tap past the largest double", infinite, ": tap 17 is not a finite number: the filtered file clips  "},
      {"all zero", Repeated("0\r\n", 215), ": all 215 taps are 0: the filtered file holds dither only  "},
  };
  const std::vector<std::int16_t> samples = MusicLikeSamples(200, 4);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScratchFolder folder;
    const Recording recording = WriteRecording(folder, "in.wav", samples);
    const std::string filter = folder.Write("recfilt.dat", Bytes(c.text.begin(), c.text.end()));
    Told told;
    ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, told.Options(filter)));
    if (c.told.empty()) {
      EXPECT_TRUE(told.messages.empty());
    } else {
      EXPECT_EQ(told.messages, std::vector<std::string>{" " + filter + c.told});
    }
    const test::ReferenceOutputs reference = test::RunReferenceChain(samples, ParseFilterTaps(c.text));
    EXPECT_EQ(test::FirstDifference(DataOf(test::ReadWholeFile(folder.Path("in QLW filtered.wav"))), reference.filtered), "");
  }
}

// The coefficient file matters only to the filtered output: with the
// unfiltered one alone asked for, nothing is said of a file missing or in
// doubt.
TEST(Job, WithOnlyTheUnfilteredOutputNothingIsSaidOfTheCoefficientFile) {
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "in.wav", MusicLikeSamples(100, 5));
  const std::string twoNumbers = folder.Write("two.dat", Bytes{'1', ',', '2', '\r', '\n'});
  for (const std::string& filter : {twoNumbers, folder.Path("missing.dat"), folder.path()}) {
    Told told;
    JobOptions options = told.Options(filter);
    options.makeFiltered = false;
    ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, options)) << filter;
    EXPECT_EQ(told.messages, std::vector<std::string>{}) << filter;
    EXPECT_TRUE(test::ReadWholeFile(folder.Path("in QLW unfiltered.wav")).size() == 44u + 6 * 4 * 100);
  }
}

}  // namespace
}  // namespace quenlow

namespace quenlow {
namespace {

// A full-scale square wave makes the supplied filter overshoot full scale
// (the Gibbs ripple at each edge). Those samples must hold at the ends of the
// 24-bit range: wrapped round, each would be a full-scale click of the
// opposite sign.
TEST(Job, AFullScaleSquareWaveThroughTheSuppliedFilterSaturatesWithoutClicks) {
  constexpr int kFrames = 2000;
  constexpr int kHalfPeriod = 50;  // 441 Hz at 44.1 kHz
  std::vector<std::int16_t> samples;
  for (int i = 0; i < kFrames; ++i) {
    const std::int16_t value = (i / kHalfPeriod) % 2 ? std::int16_t{-32768} : std::int16_t{32767};
    samples.insert(samples.end(), {value, value});
  }
  test::ScratchFolder folder;
  const Recording recording = WriteRecording(folder, "square.wav", samples);
  ASSERT_TRUE(ProcessRecording(recording.path, recording.info, recording.frames, JobOptions{{}, kSuppliedFilter}));

  // Read back by another library, as a player would.
  SF_INFO info{};
  SNDFILE* file = sf_open(folder.Path("square QLW filtered.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  ASSERT_EQ(info.frames, 4 * kFrames + 214);
  std::vector<int> filtered(static_cast<std::size_t>(info.frames) * 2);
  ASSERT_EQ(sf_readf_int(file, filtered.data(), info.frames), info.frames);
  sf_close(file);

  int saturated = 0;
  constexpr int kDelay = 107;  // the linear-phase filter's delay, in output samples
  for (std::size_t m = 0; m < filtered.size() / 2; ++m) {
    const int left = filtered[2 * m] / 256;  // libsndfile left-justifies 24 bits in 32
    saturated += left == 8388607 || left == -8388608;
    if (m > 0) {
      // The steepest edge of the band-limited square moves a quarter of the
      // range per sample at most; a wrapped sample jumps the whole of it.
      ASSERT_LT(std::abs(left - filtered[2 * m - 2] / 256), 1 << 23) << "click at frame " << m;
    }
    const std::int64_t held = static_cast<std::int64_t>(m) - kDelay;
    if (held < 0 || held >= 4 * kFrames) continue;
    const std::int64_t input = held / 4;
    const std::int64_t fromEdge = std::min(input % kHalfPeriod, kHalfPeriod - 1 - input % kHalfPeriod);
    if (fromEdge >= 3 && input >= 3 && input < kFrames - 3) {
      ASSERT_EQ(left > 0, samples[2 * static_cast<std::size_t>(input)] > 0) << "opposite sign at frame " << m;
    }
  }
  EXPECT_GT(saturated, 0) << "the overshoot this test is about did not happen";
}

}  // namespace
}  // namespace quenlow
