// The filter's response at one frequency, summed directly over the taps.
// Used by the filter's designer, its viewer and the test of the supplied file.
#pragma once

#include <complex>

#include "dsp/filter_taps.h"

namespace quenlow {

// The gain of a symmetric (linear-phase) filter: its real amplitude about the
// centre tap, the phase being a pure delay of (TapCount - 1) / 2 samples.
double SymmetricFilterGain(const FilterTaps& taps, double frequency, double sampleRate);

// The complex response of any taps: the sum of tap k times e^(-i 2 pi f k / rate).
std::complex<double> FilterResponse(const FilterTaps& taps, double frequency, double sampleRate);

}  // namespace quenlow
