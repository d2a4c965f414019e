// How loud an output came out, in the figures the programs report.
#pragma once

#include <cmath>

#include "dsp/filtered_pass.h"

namespace quenlow {

// The peak before saturation in decibels against full scale (2^23): above 0
// for a file that clips. Minus infinity for silence.
inline double PeakDecibels(const OutputLevels& levels) { return 20.0 * std::log10(levels.peak / 8388608.0); }

}  // namespace quenlow
