#include "listen/blind_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace quenlow::listen {
namespace {

// P(at least k of n) by Pascal's triangle in long double: exact for the
// sizes below, and computed another way than the program's.
long double PascalTail(int k, int n) {
  std::vector<long double> row(static_cast<std::size_t>(n) + 1, 0.0L);
  row[0] = 1.0L;
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j > 0; --j) row[static_cast<std::size_t>(j)] = (row[static_cast<std::size_t>(j)] + row[static_cast<std::size_t>(j - 1)]) / 2;
    row[0] /= 2;
  }
  long double tail = 0;
  for (int j = std::max(k, 0); j <= n; ++j) tail += row[static_cast<std::size_t>(j)];
  return tail;
}

TEST(BlindTest, PValuesAreTheExactBinomialTails) {
  struct Case {
    int correct, trials;
    double expected;
  };
  const std::vector<Case> cases = {
      {12, 16, 2517.0 / 65536}, {16, 16, 1.0 / 65536}, {8, 16, 39203.0 / 65536}, {0, 16, 1.0},
      {1, 1, 0.5},              {9, 10, 11.0 / 1024}, {17, 16, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(BinomialPValue(c.correct, c.trials), c.expected) << c.correct << " of " << c.trials;
  }
  for (int n : {20, 33, 64, 99, 100}) {
    for (int k = 0; k <= n; k += 3) {
      EXPECT_NEAR(BinomialPValue(k, n), static_cast<double>(PascalTail(k, n)), 1e-15) << k << " of " << n;
    }
  }
}

TEST(BlindTest, TheScoreLineSaysWhetherADifferenceWasHeard) {
  EXPECT_EQ(ScoreLine(12, 16), "12 of 16: p = 0.038; a difference was heard at the 5% level");
  EXPECT_EQ(ScoreLine(11, 16), "11 of 16: p = 0.105; a difference was not shown at the 5% level");
  EXPECT_EQ(ScoreLine(16, 16), "16 of 16: p < 0.001; a difference was heard at the 5% level");
  EXPECT_EQ(ScoreLine(0, 16), "0 of 16: p = 1.000; a difference was not shown at the 5% level");
}

TEST(BlindTest, XIsAOrBEquallyOftenAndWithoutPattern) {
  constexpr int kDraws = 20000;
  int a = 0;
  int same = 0;
  bool previous = false;
  for (int i = 0; i < kDraws; ++i) {
    bool ok = false;
    const bool xIsA = DrawXIsA(ok);
    ASSERT_TRUE(ok);
    a += xIsA ? 1 : 0;
    if (i > 0 && xIsA == previous) ++same;
    previous = xIsA;
  }
  // Five standard deviations (70.7 draws) either way: a fair source fails
  // this about once in two million runs.
  EXPECT_NEAR(a, kDraws / 2, 354);
  EXPECT_NEAR(same, kDraws / 2, 354) << "X repeats too often or too rarely";
}

TEST(BlindTest, TheLogHoldsTheSettingEachTrialAndTheScore) {
  BlindTest test(Source::kUnfiltered, Source::kOriginal, 3);
  ASSERT_TRUE(test.Draw());
  std::vector<bool> xs;
  for (const Trial& trial : test.Trials()) xs.push_back(trial.xIsA);
  EXPECT_EQ(test.X(), xs[0] ? Source::kUnfiltered : Source::kOriginal);
  test.Answer(true, 12.34);
  test.Answer(xs[1], 5);
  test.Answer(!xs[2], 7.25);
  EXPECT_TRUE(test.Done());
  const int right = (xs[0] ? 1 : 0) + 1;
  EXPECT_EQ(test.Correct(), right);
  const BlindTestSetting setting{"song.flac", std::string(64, 'a'), "/usr/share/quenlow/recfilt.dat",
                                 std::string(64, 'b'), "hw:1,0", 192000, "2026-01-02 03:04:05"};
  std::istringstream log(BlindTestLog(setting, test));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  auto letter = [](bool a) { return std::string(a ? "A" : "B"); };
  const std::vector<std::string> expected = {
      "quenlow-listen blind test, 2026-01-02 03:04:05",
      "recording: song.flac",
      "recording SHA-256: " + std::string(64, 'a'),
      "coefficient file: /usr/share/quenlow/recfilt.dat",
      "coefficient file SHA-256: " + std::string(64, 'b'),
      "device: hw:1,0",
      "rate: 192000 Hz",
      "A: unfiltered",
      "B: original",
      "trial 1: X = " + letter(xs[0]) + ", answer = A, " + (xs[0] ? "right" : "wrong") + ", 12.3 s",
      "trial 2: X = " + letter(xs[1]) + ", answer = " + letter(xs[1]) + ", right, 5.0 s",
      "trial 3: X = " + letter(xs[2]) + ", answer = " + letter(!xs[2]) + ", wrong, 7.2 s",
      "score: " + ScoreLine(right, 3),
  };
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace quenlow::listen
