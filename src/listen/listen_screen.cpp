#include "listen/listen_screen.h"

#include <cmath>
#include <cstdio>

namespace quenlow::listen {
namespace {

// Writes `text` on `row`, blanks to the right edge but one: rows are
// redrawn in place, without clearing the screen between frames.
void PutRow(console::Console& console, int row, const std::string& text) {
  std::string line = text.substr(0, console::Console::kColumns - 1);
  line.resize(console::Console::kColumns - 1, ' ');
  console.MoveCursor(row, 1);
  console.PrintText(line);
}

}  // namespace

std::string ClockText(double seconds) {
  const auto tenths = static_cast<long long>(std::floor(std::max(seconds, 0.0) * 10));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld.%lld", tenths / 600, tenths / 10 % 60, tenths % 10);
  return text;
}

void DrawListenScreen(console::Console& console, const ScreenState& s) {
  console.HideCursor();
  int row = 1;
  PutRow(console, row++, " quenlow-listen   " + s.recording);
  PutRow(console, row++, "");
  PutRow(console, row++, " Device:   " + s.device);
  PutRow(console, row++, " Rate:     " + std::to_string(s.rate) + " Hz" +
                             (s.resampledFrom > 0 ? ", resampled from " + std::to_string(s.resampledFrom) + " Hz"
                                                  : ", 24 bits"));
  PutRow(console, row++, "");
  if (s.trial) {
    PutRow(console, row++, " Blind test: trial " + std::to_string(*s.trial) + " of " + std::to_string(s.trials));
  } else if (!s.result.empty()) {
    PutRow(console, row++, " Blind test: done");
  } else {
    PutRow(console, row++, "");
  }
  PutRow(console, row++, " Playing:  " + s.playing + (s.paused ? "   (paused)" : ""));
  PutRow(console, row++, " Position: " + ClockText(s.position) + " of " + ClockText(s.length));
  PutRow(console, row++, " Loop:     " + ClockText(s.loopFrom) + " - " + ClockText(s.loopTo));
  PutRow(console, row++, "");
  if (s.trial) {
    PutRow(console, row++, " Keys: a play A   b play B   x play X   Space pause/play");
    PutRow(console, row++, "       1 answer: X is A   2 answer: X is B");
    PutRow(console, row++, "       , back 5 s   . on 5 s   [ loop start   ] loop end   \\ whole   q quit");
  } else if (!s.result.empty()) {
    PutRow(console, row++, " " + s.result);
    PutRow(console, row++, " Keys: a play A   b play B   q quit");
    PutRow(console, row++, "");
  } else {
    PutRow(console, row++, " Keys: 1 unfiltered   2 filtered   3 original   Space pause/play");
    PutRow(console, row++, "       , back 5 s   . on 5 s   [ loop start   ] loop end   \\ whole   q quit");
    PutRow(console, row++, "");
  }
  PutRow(console, row++, "");
  PutRow(console, row++, s.note.empty() ? "" : " " + s.note);
  console.Backend().Flush();
}

}  // namespace quenlow::listen
