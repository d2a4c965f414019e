// The blind (ABX) test: in each trial X is A or B, drawn from the operating
// system's random source; the listener plays A, B and X as often as wished
// and says which X is. The score is judged by the one-sided binomial test:
// how likely that many right answers are from guessing alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "listen/sources.h"

namespace quenlow::listen {

inline constexpr int kMaxTrials = 100;

// P(at least `correct` of `trials` right by guessing), summed exactly over
// the binomial terms (whole numbers up to 2^100) and divided once.
double BinomialPValue(int correct, int trials);

// "12 of 16: p = 0.038; a difference was heard at the 5% level", or "...;
// a difference was not shown at the 5% level".
std::string ScoreLine(int correct, int trials);

struct Trial {
  bool xIsA = true;
  std::optional<bool> answeredA;  // the listener's answer: X is A
  double seconds = 0;             // from the trial's start to the answer
  bool Right() const { return answeredA && *answeredA == xIsA; }
};

// X for one trial: true for A. False in `ok` when the system's random source
// gave nothing (the test cannot be run fairly then).
bool DrawXIsA(bool& ok);

class BlindTest {
 public:
  BlindTest(Source a, Source b, int trials) : a_(a), b_(b), trials_(static_cast<std::size_t>(trials)) {}

  // Draws every trial's X; false when the random source failed.
  bool Draw();
  Source A() const { return a_; }
  Source B() const { return b_; }
  Source X() const { return trials_[current_].xIsA ? a_ : b_; }
  int Current() const { return static_cast<int>(current_); }  // from 0
  int Count() const { return static_cast<int>(trials_.size()); }
  bool Done() const { return current_ >= trials_.size(); }
  void Answer(bool xIsA, double seconds);
  int Correct() const;
  const std::vector<Trial>& Trials() const { return trials_; }

 private:
  Source a_;
  Source b_;
  std::vector<Trial> trials_;
  std::size_t current_ = 0;
};

// What the log of a test records beside the trials.
struct BlindTestSetting {
  std::string recording;
  std::string recordingSha256;
  std::string filterFile;
  std::string filterSha256;
  std::string device;
  std::int32_t rate = 0;
  std::string started;  // local date and time
};

// The log's text: the setting, each trial's X, answer and time, the score.
std::string BlindTestLog(const BlindTestSetting& setting, const BlindTest& test);

}  // namespace quenlow::listen
