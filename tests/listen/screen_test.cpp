// quenlow-listen at a terminal, as a listener uses it: keys through the
// pseudo-terminal, the screen read back, and what reached the ALSA file
// device checked frame by frame.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/pty_session.h"
#include "listen/listen_test_support.h"
#include "support/first_difference.h"
#include "support/sha256.h"

namespace quenlow::listen {
namespace {

using e2e::PtySession;
using test::Bytes;
using namespace std::chrono_literals;

constexpr std::int64_t kRate = 176400;
constexpr std::int64_t kFade = 1764;
constexpr std::int64_t kFilterDelay = 107;

std::int32_t Sample24(const std::uint8_t* bytes) {
  const auto bits = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                    static_cast<std::uint32_t>(bytes[2]) << 16;
  return static_cast<std::int32_t>(bits << 8) >> 8;
}

// What was played, frame by frame, set against the two sources at the same
// moments of the loop.
struct Played {
  Bytes raw;
  Bytes unfiltered;  // the sources at the timeline frame of each played frame
  Bytes filtered;
  std::int64_t Frames() const { return static_cast<std::int64_t>(raw.size() / 6); }
  bool Is(const Bytes& source, std::int64_t k) const {
    return std::equal(raw.begin() + 6 * k, raw.begin() + 6 * k + 6, source.begin() + 6 * k);
  }
  // Frame k as the fade from `from` to `to` that began at frame `start` makes it.
  bool IsFade(const Bytes& from, const Bytes& to, std::int64_t start, std::int64_t k) const {
    const double in = 0.5 - 0.5 * std::cos(3.14159265358979323846 * (static_cast<double>(k - start) + 0.5) / kFade);
    for (int s = 0; s < 2; ++s) {
      const std::size_t at = static_cast<std::size_t>(6 * k + 3 * s);
      const double mixed = (1 - in) * Sample24(&from[at]) + in * Sample24(&to[at]);
      if (Sample24(&raw[at]) != std::lround(mixed)) return false;
    }
    return true;
  }
};

Played ReadPlayed(const std::string& path, const test::JobFiles& files, std::int64_t loopFrom, std::int64_t loopTo) {
  Played p;
  p.raw = quenlow::test::ReadWholeFile(path);
  p.raw.resize(p.raw.size() / 6 * 6);
  const Bytes unfiltered = test::FileFrames(files.unfiltered, loopFrom, loopTo - loopFrom);
  const Bytes filtered = test::FileFrames(files.filtered, loopFrom + kFilterDelay, loopTo - loopFrom);
  for (std::int64_t k = 0; k < p.Frames(); ++k) {
    const std::int64_t t = k % (loopTo - loopFrom);
    p.unfiltered.insert(p.unfiltered.end(), unfiltered.begin() + 6 * t, unfiltered.begin() + 6 * t + 6);
    p.filtered.insert(p.filtered.end(), filtered.begin() + 6 * t, filtered.begin() + 6 * t + 6);
  }
  return p;
}

// Finds the first fade from `from` to `to` at or after frame `after`: every
// frame before it is `from`'s and its frames are the raised cosine. Returns
// its first frame.
std::optional<std::int64_t> FindFade(const Played& p, const Bytes& from, const Bytes& to, std::int64_t after,
                                     std::string& why) {
  std::int64_t firstOther = after;
  while (firstOther < p.Frames() && p.Is(from, firstOther)) ++firstOther;
  // The fade's first frames may round to the old source's values: try every
  // start that fits.
  for (std::int64_t start = std::max(after, firstOther - kFade + 1); start <= firstOther; ++start) {
    bool fits = start + kFade <= p.Frames();
    for (std::int64_t k = start; fits && k < start + kFade; ++k) fits = p.IsFade(from, to, start, k);
    if (fits) return start;
  }
  why = "no fade fits at frame " + std::to_string(firstOther) + ", the first frame not the old source's, of " +
        std::to_string(p.Frames());
  return std::nullopt;
}

// The frames from `from` on that are `source`'s, up to the first that is not.
std::int64_t RunOf(const Played& p, const Bytes& source, std::int64_t from) {
  std::int64_t k = from;
  while (k < p.Frames() && p.Is(source, k)) ++k;
  return k - from;
}

std::vector<std::string> ListenArguments(const test::JobFiles& files, std::vector<std::string> more) {
  std::vector<std::string> arguments = {"--filter", test::kSuppliedFilter};
  arguments.insert(arguments.end(), more.begin(), more.end());
  arguments.push_back(files.recording.path);
  return arguments;
}

// Starts quenlow-listen on the pty and waits for its screen. Opening the
// device can take many seconds in a sanitizer build: over the null device,
// ALSA's file plugin settles on a buffer of gigabytes, and the sanitizer
// maps every byte of it.
bool StartListening(PtySession& s, const test::AlsaFileHome& home, const test::JobFiles& files,
                    std::vector<std::string> more) {
  s.SetProgram(QUENLOW_LISTEN_BINARY, ListenArguments(files, std::move(more)));
  return s.Start(home.Home(), home.Environment()) &&
         s.WaitUntil([&] { return s.Row(7).rfind(" Playing:", 0) == 0; }, 180s);
}

TEST(ListenScreen, ASwitchGivesEachSourcesExactFramesAroundOneFade) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(44100 * 2, 21));
  const test::AlsaFileHome home;
  PtySession s;
  ASSERT_TRUE(StartListening(s, home, files, {"--from", "0.5", "--to", "1.5"})) << s.Screen();
  ASSERT_TRUE(s.WaitForText(7, " Playing:  unfiltered")) << s.Screen();
  EXPECT_TRUE(s.WaitForText(3, " Device:   default (a sound server or plugin")) << s.Screen();
  EXPECT_TRUE(s.WaitForText(4, " Rate:     176400 Hz, 24 bits")) << s.Screen();
  EXPECT_TRUE(s.WaitForText(9, " Loop:     0:00.5 - 0:01.5")) << s.Screen();
  EXPECT_TRUE(s.WaitForText(11, " Keys: 1 unfiltered   2 filtered   3 original")) << s.Screen();
  // Once playing is under way.
  ASSERT_TRUE(s.WaitUntil([&] { return s.Row(8).find(" Position: 0:00.5 of") == std::string::npos; })) << s.Screen();
  s.Type("2");
  ASSERT_TRUE(s.WaitForText(7, " Playing:  filtered")) << s.Screen();
  s.Pump(200ms);
  // To the source playing: the same fade, between equal frames.
  s.Type("2");
  s.Pump(200ms);
  s.Type("1");
  ASSERT_TRUE(s.WaitForText(7, " Playing:  unfiltered")) << s.Screen();
  s.Pump(200ms);
  s.Type("q");
  ASSERT_EQ(s.WaitForExit(), 0);

  const Played p = ReadPlayed(home.Recorded(), files, 88200, 264600);
  ASSERT_GT(p.Frames(), 3 * kFade);
  std::string why;
  const std::optional<std::int64_t> there = FindFade(p, p.unfiltered, p.filtered, 0, why);
  ASSERT_TRUE(there) << "unfiltered to filtered: " << why;
  EXPECT_GT(*there, 0) << "the switch came after playing began";
  // The filtered frames last until the second fade (the switch to filtered
  // again changed none), the unfiltered ones from its end to the last frame
  // played.
  const std::optional<std::int64_t> back = FindFade(p, p.filtered, p.unfiltered, *there + kFade, why);
  ASSERT_TRUE(back) << "filtered to unfiltered: " << why;
  EXPECT_GT(*back - *there - kFade, 1000) << "filtered frames between the fades";
  EXPECT_EQ(RunOf(p, p.unfiltered, *back + kFade), p.Frames() - *back - kFade) << "unfiltered to the end";
}

TEST(ListenScreen, KeysPauseAndSetTheLoop) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(44100 * 2, 23));
  const test::AlsaFileHome home;
  PtySession s;
  ASSERT_TRUE(StartListening(s, home, files, {"--from", "0.5", "--to", "1.5"})) << s.Screen();
  ASSERT_TRUE(s.WaitForText(9, " Loop:     0:00.5 - 0:01.5")) << s.Screen();
  s.Type("\\");
  ASSERT_TRUE(s.WaitForText(9, " Loop:     0:00.0 - 0:02.0")) << s.Screen();
  s.Type(" ");
  ASSERT_TRUE(s.WaitForText(7, " Playing:  unfiltered   (paused)")) << s.Screen();
  // Paused, the position stands still: the loop's ends are set at it.
  s.Pump(300ms);
  const std::string position = s.Row(8).substr(11, 6);
  s.Type("]");
  ASSERT_TRUE(s.WaitForText(9, " Loop:     0:00.0 - " + position)) << s.Screen();
  s.Type("[");
  ASSERT_TRUE(s.WaitForText(9, " Loop:     " + position + " - ")) << s.Screen();
  s.Type(" ");
  EXPECT_TRUE(s.WaitUntil([&] { return s.Row(7).find("paused") == std::string::npos; })) << s.Screen();
  s.Type("q");
  EXPECT_EQ(s.WaitForExit(), 0);
  EXPECT_FALSE(s.OnAlternateScreen());
}

TEST(ListenScreen, TheBlindTestShowsOnlyLettersAndLogsEveryTrial) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(44100, 22));
  const test::AlsaFileHome home;
  const std::string log = home.Home() + "/abx.txt";
  PtySession s;
  ASSERT_TRUE(StartListening(s, home, files,
                             {"--abx", "unfiltered", "filtered", "--trials", "3", "--log", log, "--from", "0.2", "--to", "0.6"}))
      << s.Screen();
  ASSERT_TRUE(s.WaitForText(6, " Blind test: trial 1 of 3")) << s.Screen();
  EXPECT_TRUE(s.WaitForText(7, " Playing:  A")) << s.Screen();
  EXPECT_TRUE(s.WaitForText(11, " Keys: a play A   b play B   x play X")) << s.Screen();
  const std::vector<std::string> answers = {"1", "2", "1"};
  for (std::size_t trial = 0; trial < answers.size(); ++trial) {
    s.Type("x");
    ASSERT_TRUE(s.WaitForText(7, " Playing:  X")) << s.Screen();
    s.Pump(100ms);
    // Nothing names the sources while X is unknown: no level, no name.
    EXPECT_EQ(s.Screen().find("filtered"), std::string::npos) << s.Screen();
    s.Type("b");
    ASSERT_TRUE(s.WaitForText(7, " Playing:  B")) << s.Screen();
    s.Type(answers[trial]);
    if (trial + 1 < answers.size()) {
      ASSERT_TRUE(s.WaitForText(6, " Blind test: trial " + std::to_string(trial + 2) + " of 3")) << s.Screen();
    }
  }
  ASSERT_TRUE(s.WaitForText(6, " Blind test: done")) << s.Screen();
  EXPECT_TRUE(s.WaitForText(15, " The log is in " + log)) << s.Screen();
  s.Type("q");
  ASSERT_EQ(s.WaitForExit(), 0);

  std::ifstream in(log);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 13u);
  auto digest = [](const std::string& path) {
    const Bytes bytes = quenlow::test::ReadWholeFile(path);
    quenlow::test::Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.HexDigest();
  };
  EXPECT_EQ(lines[1], "recording: " + files.recording.path);
  EXPECT_EQ(lines[2], "recording SHA-256: " + digest(files.recording.path));
  EXPECT_EQ(lines[3], "coefficient file: " + test::kSuppliedFilter);
  EXPECT_EQ(lines[4], "coefficient file SHA-256: " + digest(test::kSuppliedFilter));
  EXPECT_EQ(lines[5], "device: default");
  EXPECT_EQ(lines[6], "rate: 176400 Hz");
  EXPECT_EQ(lines[7], "A: unfiltered");
  EXPECT_EQ(lines[8], "B: filtered");
  int right = 0;
  for (std::size_t trial = 0; trial < 3; ++trial) {
    const std::string& line = lines[9 + trial];
    const std::string answer = answers[trial] == "1" ? "A" : "B";
    const bool xIsA = line.find("X = A") != std::string::npos;
    const bool isRight = (answer == "A") == xIsA;
    right += isRight ? 1 : 0;
    EXPECT_EQ(line.rfind("trial " + std::to_string(trial + 1) + ": X = ", 0), 0u) << line;
    EXPECT_NE(line.find("answer = " + answer + ", " + (isRight ? "right" : "wrong")), std::string::npos) << line;
  }
  const std::vector<std::string> pValues = {"1.000", "0.875", "0.500", "0.125"};
  EXPECT_EQ(lines[12], "score: " + std::to_string(right) + " of 3: p = " + pValues[static_cast<std::size_t>(right)] +
                           "; a difference was not shown at the 5% level");
}

TEST(ListenScreen, ABlindTestLeftEarlyLogsTheTrialsAnswered) {
  test::JobFiles files;
  test::WriteJobFiles(files, test::MusicLike(44100, 24));
  const test::AlsaFileHome home;
  const std::string log = home.Home() + "/early.txt";
  PtySession s;
  ASSERT_TRUE(StartListening(s, home, files, {"--abx", "filtered", "original", "--log", log})) << s.Screen();
  ASSERT_TRUE(s.WaitForText(6, " Blind test: trial 1 of 16")) << s.Screen();
  s.Type("2");
  ASSERT_TRUE(s.WaitForText(6, " Blind test: trial 2 of 16")) << s.Screen();
  s.Type("2");
  ASSERT_TRUE(s.WaitForText(6, " Blind test: trial 3 of 16")) << s.Screen();
  s.Type("q");
  ASSERT_EQ(s.WaitForExit(), 0);
  std::ifstream in(log);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[7], "A: filtered");
  EXPECT_EQ(lines[8], "B: original");
  EXPECT_EQ(lines[9].rfind("trial 1: X = ", 0), 0u);
  EXPECT_EQ(lines[10].rfind("trial 2: X = ", 0), 0u);
  EXPECT_EQ(lines[11].rfind("score: ", 0), 0u);
  EXPECT_NE(lines[11].find(" of 2: p = "), std::string::npos) << lines[11];
}

}  // namespace
}  // namespace quenlow::listen
