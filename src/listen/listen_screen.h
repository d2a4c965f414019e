// The listener's screen, drawn on the console layer: what plays, where, the
// loop, the device and its rate, and the keys. In a blind test it names the
// trial and A, B or X only: nothing on it tells what X is before the end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "console/console.h"

namespace quenlow::listen {

struct ScreenState {
  std::string recording;
  std::string device;       // its name and what it does to the samples
  std::int32_t rate = 0;    // the device's
  std::int32_t resampledFrom = 0;  // the outputs' rate, when the device plays another
  std::string playing;      // a source's name, or A, B, X in a blind test
  bool paused = false;
  double position = 0;      // seconds
  double length = 0;
  double loopFrom = 0;
  double loopTo = 0;
  std::optional<int> trial;  // a blind test: the trial (from 1) ...
  int trials = 0;            // ... of so many
  std::string note;          // one line for the listener, or empty
  std::string result;        // a blind test's end: the score
};

// "m:ss.s": minutes and seconds, to the tenth.
std::string ClockText(double seconds);

void DrawListenScreen(console::Console& console, const ScreenState& state);

}  // namespace quenlow::listen
