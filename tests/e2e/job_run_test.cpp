// The whole run as a user makes it: a name typed, the figures, the working
// notice, both files written, the completion rows and the closing key.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "job/job.h"
#include "dsp/filter_taps.h"
#include "e2e/pty_session.h"
#include "e2e/test_files.h"
#include "support/first_difference.h"
#include "support/reference_chain.h"
#include "wav/wav_reader.h"

namespace quenlow::e2e {
namespace {

using Key = PtySession::Key;
using Bytes = std::vector<std::uint8_t>;

const PtySession::Colors kTextColors{0, 15};
const PtySession::Colors kLabelColors{8, 15};
const std::string kSuppliedFilter = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

// A fixed recording: a chirp on the left, a decaying square wave on the
// right, near full scale, `frames` long.
std::vector<std::int16_t> FixedSamples(int frames) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < frames; ++i) {
    samples.push_back(static_cast<std::int16_t>(std::lround(30000 * std::sin(1e-5 * i * i))));
    samples.push_back(static_cast<std::int16_t>((i / 37) % 2 ? 32767 - i : -32768 + i));
  }
  return samples;
}

// The same at a quarter of the level: the supplied filter's overshoot then
// stays inside full scale.
std::vector<std::int16_t> QuietSamples(int frames) {
  std::vector<std::int16_t> samples = FixedSamples(frames);
  for (std::int16_t& sample : samples) sample = static_cast<std::int16_t>(sample / 4);
  return samples;
}

Bytes Wav(const std::vector<std::int16_t>& samples, std::uint32_t rate = 44100) {
  Bytes file = SilentWav(rate, static_cast<std::uint32_t>(samples.size() / 2));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    file[44 + 2 * i] = static_cast<std::uint8_t>(samples[i] & 0xFF);
    file[45 + 2 * i] = static_cast<std::uint8_t>((samples[i] >> 8) & 0xFF);
  }
  return file;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Sha256(const std::string& path) {
  std::string command = "sha256sum '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  char digest[65] = {};
  const bool read = std::fscanf(pipe, "%64s", digest) == 1;
  pclose(pipe);
  return read ? digest : "";
}

FilterTaps Taps(const std::string& path) {
  const std::optional<FilterTaps> taps = LoadFilterTaps(path);
  EXPECT_TRUE(taps.has_value()) << path;
  return taps.value_or(FilterTaps{});
}

class JobRun : public ::testing::Test {
 protected:
  // Types the name, waits for the completion rows and checks the screen on
  // the way. Leaves the program waiting for its closing key.
  // `boxes`: a piece of the text of each message box expected on the way,
  // in order; each is closed with Enter once it has been up for `reading`.
  void RunUpToTheKeyWait(const std::string& name, const std::vector<std::string>& boxes = {},
                         std::chrono::milliseconds reading = 0ms) {
    ASSERT_TRUE(session.Start(dir.Path())) << "cannot start";
    ASSERT_TRUE(session.WaitForText(8, "   Wave file to process?")) << session.Screen();
    session.Type(name);
    session.Press(Key::Enter);
    ASSERT_TRUE(session.WaitForText(20, "   Working...")) << session.Screen();
    EXPECT_EQ(session.CellColors(20, 4), kLabelColors);
    for (const std::string& box : boxes) {
      ASSERT_TRUE(session.WaitUntil([&] {
        const std::string screen = session.Screen();
        return screen.find("ERROR") != std::string::npos && screen.find(box) != std::string::npos;
      })) << session.Screen();
      session.Pump(reading);
      session.Press(Key::Enter);
      ASSERT_TRUE(session.WaitUntil([&] { return session.Screen().find("ERROR") == std::string::npos; }));
    }
    // A loud recording clips the filtered file: the job's note comes before
    // the completion rows, and is closed like any box.
    note.clear();
    ASSERT_TRUE(session.WaitUntil(
        [&] {
          return session.Screen().find(" NOTE") != std::string::npos ||
                 session.Row(27).rfind("   press any key to quit", 0) == 0;
        },
        60s))
        << session.Screen();
    if (session.Screen().find(" NOTE") != std::string::npos) {
      // The box is whole once its button is drawn.
      ASSERT_TRUE(session.WaitUntil([&] { return session.Screen().find("< OK >") != std::string::npos; }))
          << session.Screen();
      note = session.Screen();
      session.Press(Key::Enter);
    }
    ASSERT_TRUE(session.WaitForText(27, "   press any key to quit", 60s)) << session.Screen();
  }

  // The figure of "Job finished in".
  double ElapsedShown() {
    const std::string finished = session.Row(26);
    const std::string lead = "   Job finished in ";
    if (finished.rfind(lead, 0) != 0) return -1;
    return std::stod(finished.substr(lead.size()));
  }

  void ExpectCompletionRows() {
    const std::string finished = session.Row(26);
    EXPECT_EQ(finished.rfind("   Job finished in ", 0), 0u) << finished;
    EXPECT_NE(finished.find(" seconds"), std::string::npos) << finished;
    EXPECT_EQ(session.CellColors(26, 4), kTextColors);
    EXPECT_EQ(session.CellColors(27, 4), kLabelColors);
    for (int row = 21; row <= 25; ++row) EXPECT_EQ(session.Row(row).find_first_not_of(' '), std::string::npos);
  }

  TempDir dir;
  PtySession session;
  std::string note;  // the screen with the job's note, if one came
};

// The filter's overshoot on a loud recording is told after the job, with
// its count and peak; a quiet recording gets no note. (One program run per
// test: the session is started once.)
TEST_F(JobRun, AQuietRecordingGetsNoClippingNote) {
  ASSERT_TRUE(WriteFile(dir / "quiet.wav", Wav(QuietSamples(2000))));
  RunUpToTheKeyWait("quiet.wav");
  EXPECT_EQ(note, "");
  session.Press(Key::Space);
  EXPECT_EQ(session.WaitForExit(), 0);
}

TEST_F(JobRun, AFilteredFileThatClipsIsTold) {
  ASSERT_TRUE(WriteFile(dir / "loud.wav", Wav(FixedSamples(2000))));
  RunUpToTheKeyWait("loud.wav");
  EXPECT_NE(note.find("The filtered file clips in"), std::string::npos) << note;
  EXPECT_NE(note.find("dB before"), std::string::npos) << note;
  ExpectCompletionRows();
  session.Press(Key::Space);
  EXPECT_EQ(session.WaitForExit(), 0);
}

TEST_F(JobRun, AFullRunWritesBothFilesRingsAndEndsOnAKey) {
  const std::vector<std::int16_t> samples = FixedSamples(500);
  ASSERT_TRUE(WriteFile(dir / "take1.wav", Wav(samples)));
  RunUpToTheKeyWait("take1.wav");
  ExpectCompletionRows();
  EXPECT_EQ(session.BellCount(), 1);
  session.Press(Key::Space);
  EXPECT_EQ(session.WaitForExit(), 0);

  // Byte for byte the whole-array chain, behind canonical headers.
  const test::ReferenceOutputs reference = test::RunReferenceChain(samples, Taps(kSuppliedFilter));
  const Bytes unfiltered = ReadAll(dir / "take1 QLW unfiltered.wav");
  const Bytes filtered = ReadAll(dir / "take1 QLW filtered.wav");
  ASSERT_EQ(unfiltered.size(), 44u + 24 * 500);
  ASSERT_EQ(filtered.size(), 44u + 24 * 500 + 1284);
  EXPECT_EQ(test::FirstDifference(Bytes(unfiltered.begin() + 44, unfiltered.end()), reference.unfiltered), "");
  EXPECT_EQ(test::FirstDifference(Bytes(filtered.begin() + 44, filtered.end()), reference.filtered), "");

  // Any change to the output bits, anywhere in the chain, shows here.
  EXPECT_EQ(Sha256(dir / "take1 QLW unfiltered.wav"), "157bc381b3aab00fe42b527198f2e3ca2741aae38499473d21bae6261b01f913");
  EXPECT_EQ(Sha256(dir / "take1 QLW filtered.wav"), "1d803f9f6990b8b8e67a4907519d70b2e3cb33d318e3e865643144793f608a31");

  // And another audio library reads them as intended.
  for (const auto& [name, frames] : {std::pair{"take1 QLW unfiltered.wav", 2000}, std::pair{"take1 QLW filtered.wav", 2214}}) {
    SF_INFO info{};
    SNDFILE* file = sf_open((dir / name).c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << name << ": " << sf_strerror(nullptr);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24) << name;
    EXPECT_EQ(info.samplerate, 176400) << name;
    EXPECT_EQ(info.channels, 2) << name;
    EXPECT_EQ(info.frames, frames) << name;
    sf_close(file);
  }
}

// With both files written, Ctrl+C at the closing request is one more key that
// ends the program, with the terminal given back.
TEST_F(JobRun, CtrlCAtTheClosingRequestEndsLikeAnyKey) {
  ASSERT_TRUE(WriteFile(dir / "c.wav", Wav(FixedSamples(100))));
  RunUpToTheKeyWait("c.wav");
  session.SendRaw("\x03");
  EXPECT_EQ(session.WaitForExit(), 0);
  EXPECT_FALSE(session.OnAlternateScreen());
  EXPECT_TRUE(session.CursorVisible());
  EXPECT_TRUE(FileExistsAt(dir / "c QLW unfiltered.wav"));
  EXPECT_TRUE(FileExistsAt(dir / "c QLW filtered.wav"));
}

TEST_F(JobRun, AKeyPressedWhileWorkingEndsTheWaitAtOnce) {
  ASSERT_TRUE(WriteFile(dir / "k.wav", Wav(QuietSamples(20000))));
  ASSERT_TRUE(session.Start(dir.Path()));
  ASSERT_TRUE(session.WaitForText(8, "   Wave file to process?"));
  session.Type("k.wav");
  session.Press(Key::Enter);
  session.Type("x");  // typed ahead, during the work
  EXPECT_EQ(session.WaitForExit(60s), 0) << session.Screen();
  EXPECT_TRUE(FileExistsAt(dir / "k QLW filtered.wav"));
}

TEST_F(JobRun, AnEmptyRecordingStillRunsEveryStage) {
  ASSERT_TRUE(WriteFile(dir / "empty.wav", SilentWav(48000, 0)));
  RunUpToTheKeyWait("empty.wav");
  EXPECT_NE(session.Row(15).find("Length       0 samples"), std::string::npos) << session.Screen();
  ExpectCompletionRows();
  session.Press(Key::Enter);
  EXPECT_EQ(session.WaitForExit(), 0);
  EXPECT_EQ(ReadAll(dir / "empty QLW unfiltered.wav").size(), 44u);
  EXPECT_EQ(ReadAll(dir / "empty QLW filtered.wav").size(), 44u + 1284);
}

// The user's own recfilt.dat in the current folder wins over the supplied one.
// Holding a single number, it is used as it stands, but the user is told
// before the filtered pass that the other 214 taps are 0.
TEST_F(JobRun, ACoefficientFileInTheCurrentFolderIsUsed) {
  const std::vector<std::int16_t> samples = FixedSamples(50);
  ASSERT_TRUE(WriteFile(dir / "own.wav", Wav(samples)));
  std::string identity = "1\r\n";
  ASSERT_TRUE(WriteFile(dir / "recfilt.dat", Bytes(identity.begin(), identity.end())));
  RunUpToTheKeyWait("own.wav", {"recfilt.dat holds only 1 of 215 numbers: the rest are taken as 0"});
  session.Press(Key::Enter);
  EXPECT_EQ(session.WaitForExit(), 0);
  const Bytes filtered = ReadAll(dir / "own QLW filtered.wav");
  const test::ReferenceOutputs reference = test::RunReferenceChain(samples, Taps(dir / "recfilt.dat"));
  EXPECT_EQ(test::FirstDifference(Bytes(filtered.begin() + 44, filtered.end()), reference.filtered), "");
}

// A copy of the program with no coefficient file anywhere: the user is told
// before the filtered file is made, which then holds the dither alone. The
// time the box stayed up is not counted as the job's.
TEST_F(JobRun, WithNoCoefficientFileAnywhereTheUserIsToldAndGetsDitherAlone) {
  const TempDir program;
  std::filesystem::create_directories(program / "bin");
  std::filesystem::copy_file(QUENLOW_BINARY, program / "bin/quenlow");
  session.SetProgram(program / "bin/quenlow");
  ASSERT_TRUE(WriteFile(dir / "bare.wav", Wav(FixedSamples(30))));
  RunUpToTheKeyWait("bare.wav", {"recfilt.dat not found: the filtered file will hold dither only"}, 1500ms);
  EXPECT_EQ(session.BellCount(), 2);  // the box's, then the completion's
  const double elapsed = ElapsedShown();
  EXPECT_TRUE(elapsed >= 0 && elapsed < 1) << session.Row(26);
  session.Press(Key::Enter);
  EXPECT_EQ(session.WaitForExit(), 0);
  const Bytes filtered = ReadAll(dir / "bare QLW filtered.wav");
  ASSERT_EQ(filtered.size(), 44u + 6 * (120 + 214));
  for (std::size_t e = 0; e < (filtered.size() - 44) / 3; ++e) {
    const std::int32_t q = test::UnpackSample24(Bytes(filtered.begin() + 44, filtered.end()), e);
    ASSERT_TRUE(q >= -1 && q <= 1) << "element " << e;
  }
}

// The installed program, run from a folder of the user's, finds the filter
// that was installed with it.
TEST_F(JobRun, TheInstalledProgramUsesTheInstalledFilterFromAnyFolder) {
  const std::string installed = QUENLOW_STAGE_DIR "/bin/quenlow";
  ASSERT_TRUE(FileExistsAt(installed)) << "the install fixture did not run";
  ASSERT_TRUE(FileExistsAt(QUENLOW_STAGE_DIR "/share/quenlow/recfilt.dat"));
  ASSERT_TRUE(FileExistsAt(QUENLOW_STAGE_DIR "/share/man/man1/quenlow.1.gz"));
  ASSERT_TRUE(FileExistsAt(QUENLOW_STAGE_DIR "/share/doc/quenlow/README.md"));
  session.SetProgram(installed);
  const std::vector<std::int16_t> samples = FixedSamples(60);
  ASSERT_TRUE(WriteFile(dir / "inst.wav", Wav(samples)));
  RunUpToTheKeyWait("inst.wav");
  session.Press(Key::Enter);
  EXPECT_EQ(session.WaitForExit(), 0);
  const Bytes filtered = ReadAll(dir / "inst QLW filtered.wav");
  const test::ReferenceOutputs reference = test::RunReferenceChain(samples, Taps(kSuppliedFilter));
  EXPECT_EQ(test::FirstDifference(Bytes(filtered.begin() + 44, filtered.end()), reference.filtered), "");
}

// A header that promises 2 GB in a file of 100 frames (a recording cut
// short, or still being copied): the length shown is what the file holds,
// and that is what is processed.
TEST_F(JobRun, AHeaderPromisingMoreThanTheFileHoldsShowsAndProcessesTheFramesHeld) {
  const std::vector<std::int16_t> samples = FixedSamples(100);
  Bytes file = Wav(samples);
  file.push_back(0x55);  // half a sample more
  for (int i = 0; i < 4; ++i) file[40 + i] = static_cast<std::uint8_t>(0x7FFFFFF0u >> (8 * i));
  ASSERT_TRUE(WriteFile(dir / "cut.wav", file));
  RunUpToTheKeyWait("cut.wav");
  EXPECT_NE(session.Row(15).find(" 100 samples"), std::string::npos) << session.Screen();
  session.Press(Key::Enter);
  EXPECT_EQ(session.WaitForExit(), 0);
  const test::ReferenceOutputs reference = test::RunReferenceChain(samples, Taps(kSuppliedFilter));
  const Bytes filtered = ReadAll(dir / "cut QLW filtered.wav");
  EXPECT_EQ(test::FirstDifference(Bytes(filtered.begin() + 44, filtered.end()), reference.filtered), "");
}

// An output that cannot be written is told in the box, and the exit status
// says so; the two outputs go together, so the other is not made either.
TEST_F(JobRun, AnOutputThatCannotBeWrittenIsToldAndEndsWithStatus1) {
  ASSERT_TRUE(WriteFile(dir / "blocked.wav", Wav(FixedSamples(10))));
  std::filesystem::create_directory(dir / "blocked QLW unfiltered.wav");
  RunUpToTheKeyWait("blocked.wav", {"blocked QLW unfiltered.wav is a folder: nothing was written"});
  session.Press(Key::Enter);
  EXPECT_EQ(session.WaitForExit(), 1);
  EXPECT_FALSE(FileExistsAt(dir / "blocked QLW filtered.wav"));
}

}  // namespace
}  // namespace quenlow::e2e

namespace quenlow::e2e {
namespace {

// Ended in the middle of its work, the program gives the terminal back and
// leaves the folder as it found it: no temporary files, no partial outputs.
TEST_F(JobRun, EndedDuringTheWorkItLeavesNoTemporaryFiles) {
  ASSERT_TRUE(WriteFile(dir / "long.wav", Wav(FixedSamples(4000000))));  // about 90 seconds
  ASSERT_TRUE(session.Start(dir.Path()));
  ASSERT_TRUE(session.WaitForText(8, "   Wave file to process?"));
  session.Type("long.wav");
  session.Press(Key::Enter);
  ASSERT_TRUE(session.WaitForText(20, "   Working...")) << session.Screen();
  // Ctrl+C as soon as an output is being written: a file with no name yet
  // open in the program ("#<inode> (deleted)" in the folder), or a hidden
  // temporary one where the file system has no unnamed files.
  auto writing = [&] {
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      if (entry.path().filename().string()[0] == '.') return true;
    }
    std::error_code ignored;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(session.Pid()) + "/fd", ignored)) {
      const std::string target = std::filesystem::read_symlink(fd.path(), ignored).string();
      if (target.rfind(dir.Path() + "/#", 0) == 0) return true;
    }
    return false;
  };
  const auto giveUp = std::chrono::steady_clock::now() + 30s;
  while (!writing() && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(200us);
  ASSERT_TRUE(writing()) << "no output was being written";
  session.SendRaw("\x03");
  EXPECT_EQ(session.WaitForExit(30s), 130);
  EXPECT_FALSE(session.OnAlternateScreen());
  EXPECT_TRUE(session.CursorVisible());
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(name, "long.wav") << "left behind: " << name;
  }
}

}  // namespace
}  // namespace quenlow::e2e
