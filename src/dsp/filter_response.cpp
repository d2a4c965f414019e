#include "dsp/filter_response.h"

#include <cmath>
#include <numbers>

namespace quenlow {

double SymmetricFilterGain(const FilterTaps& taps, double frequency, double sampleRate) {
  constexpr int kMiddle = (TapCount - 1) / 2;
  double amplitude = taps[kMiddle];
  for (int k = 1; k <= kMiddle; ++k) {
    amplitude += 2.0 * taps[kMiddle - k] * std::cos(2.0 * std::numbers::pi * frequency * k / sampleRate);
  }
  return amplitude;
}

std::complex<double> FilterResponse(const FilterTaps& taps, double frequency, double sampleRate) {
  std::complex<double> sum = 0.0;
  for (int k = 0; k < TapCount; ++k) {
    sum += taps[static_cast<std::size_t>(k)] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * k / sampleRate);
  }
  return sum;
}

}  // namespace quenlow
