#include "listen/blind_test.h"

#include <cmath>
#include <cstdio>

#include "platform/random_bytes.h"

namespace quenlow::listen {

double BinomialPValue(int correct, int trials) {
  if (trials <= 0 || trials > kMaxTrials) return 1.0;
  if (correct <= 0) return 1.0;
  if (correct > trials) return 0.0;
  // Pascal's row n, term by term: C(n, k + 1) = C(n, k) * (n - k) / (k + 1)
  // is exact in whole numbers, and 2^100 fits in 128 bits.
  unsigned __int128 term = 1;  // C(n, 0)
  unsigned __int128 tail = 0;
  for (int k = 0; k <= trials; ++k) {
    if (k >= correct) tail += term;
    term = term * static_cast<unsigned>(trials - k) / static_cast<unsigned>(k + 1);
  }
  return std::ldexp(static_cast<double>(tail), -trials);
}

std::string ScoreLine(int correct, int trials) {
  const double p = BinomialPValue(correct, trials);
  char text[160];
  if (p < 0.001) {
    std::snprintf(text, sizeof text, "%d of %d: p < 0.001; ", correct, trials);
  } else {
    std::snprintf(text, sizeof text, "%d of %d: p = %.3f; ", correct, trials, p);
  }
  return std::string(text) + (p <= 0.05 ? "a difference was heard at the 5% level"
                                        : "a difference was not shown at the 5% level");
}

bool DrawXIsA(bool& ok) {
  unsigned char byte = 0;
  ok = platform::SystemRandomBytes(&byte, 1);
  return (byte & 1u) != 0;
}

bool BlindTest::Draw() {
  for (Trial& trial : trials_) {
    bool ok = false;
    trial.xIsA = DrawXIsA(ok);
    if (!ok) return false;
  }
  return true;
}

void BlindTest::Answer(bool xIsA, double seconds) {
  if (Done()) return;
  trials_[current_].answeredA = xIsA;
  trials_[current_].seconds = seconds;
  ++current_;
}

int BlindTest::Correct() const {
  int right = 0;
  for (const Trial& trial : trials_) right += trial.Right() ? 1 : 0;
  return right;
}

std::string BlindTestLog(const BlindTestSetting& setting, const BlindTest& test) {
  std::string log = "quenlow-listen blind test, " + setting.started + "\n";
  log += "recording: " + setting.recording + "\n";
  log += "recording SHA-256: " + setting.recordingSha256 + "\n";
  log += "coefficient file: " + setting.filterFile + "\n";
  log += "coefficient file SHA-256: " + setting.filterSha256 + "\n";
  log += "device: " + setting.device + "\n";
  log += "rate: " + std::to_string(setting.rate) + " Hz\n";
  log += "A: " + std::string(SourceName(test.A())) + "\n";
  log += "B: " + std::string(SourceName(test.B())) + "\n";
  int answered = 0;
  for (std::size_t i = 0; i < test.Trials().size(); ++i) {
    const Trial& trial = test.Trials()[i];
    if (!trial.answeredA) continue;
    ++answered;
    char line[160];
    std::snprintf(line, sizeof line, "trial %zu: X = %s, answer = %s, %s, %.1f s\n", i + 1, trial.xIsA ? "A" : "B",
                  *trial.answeredA ? "A" : "B", trial.Right() ? "right" : "wrong", trial.seconds);
    log += line;
  }
  log += "score: " + ScoreLine(test.Correct(), answered) + "\n";
  return log;
}

}  // namespace quenlow::listen
