// The gain of a symmetric (linear-phase) filter at one frequency: its real
// amplitude about the centre tap, the phase being a pure delay. Shared by the
// filter's designer and the test that checks the supplied file.
#pragma once

#include <cmath>
#include <numbers>

#include "dsp/filter_taps.h"

namespace quenlow {

inline double SymmetricFilterGain(const FilterTaps& taps, double frequency, double sampleRate) {
  constexpr int kMiddle = (TapCount - 1) / 2;
  double amplitude = taps[kMiddle];
  for (int k = 1; k <= kMiddle; ++k) {
    amplitude += 2.0 * taps[kMiddle - k] * std::cos(2.0 * std::numbers::pi * frequency * k / sampleRate);
  }
  return amplitude;
}

}  // namespace quenlow
