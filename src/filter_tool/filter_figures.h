// The figures a listener asks of a reconstruction filter, at one input rate
// (the filter running at four times it).
#pragma once

#include <vector>

#include "dsp/filter_taps.h"

namespace quenlow {

inline constexpr double kAudioBandEdge = 20000.0;  // Hz

enum class TapSymmetry { Symmetric, Antisymmetric, None };

// Levels in dB are relative to the DC gain, so that they describe the shape
// of the filter whatever its overall gain; they are NaN when the DC gain is 0
// or a tap is not finite. A frequency the gain never falls to is NaN too.
struct FilterFigures {
  double inputRate = 0.0;
  double outputRate = 0.0;
  double dcGain = 0.0;  // the sum of the taps
  double passbandToHz = 0.0;       // 20 kHz unless asked otherwise
  double passbandLowestDb = 0.0;   // over 0 .. passbandToHz
  double passbandHighestDb = 0.0;
  double minus3DbHz = 0.0;
  double minus6DbHz = 0.0;
  double nyquistAttenuationDb = 0.0;  // at half the input rate
  double stopbandFromHz = 0.0;  // unless asked otherwise, the input rate less 20 kHz: the lowest image of the audio band
  double stopbandAttenuationDb = 0.0;  // the least, from there to half the output rate
  double stopbandWorstHz = 0.0;
  double groupDelayLowest = 0.0;  // in output samples, over the passband
  double groupDelayHighest = 0.0;
  double groupDelayAtDc = 0.0;
  TapSymmetry symmetry = TapSymmetry::None;
  double largestAsymmetry = 0.0;  // max |tap k - tap 214-k|

  double RippleDb() const { return passbandHighestDb - passbandLowestDb; }
};

// The bands' edges default to 20 kHz and the input rate less 20 kHz.
struct BandEdges {
  double passbandToHz = 0.0;
  double stopbandFromHz = 0.0;
};
FilterFigures MeasureFilter(const FilterTaps& taps, double inputRate, BandEdges edges = {});

// The magnitude in dB relative to the DC gain (or to 1 when the DC gain is 0)
// at evenly spaced frequencies from 0 to half the output rate, both included.
struct MagnitudeCurve {
  std::vector<double> hz;
  std::vector<double> db;
};
MagnitudeCurve MagnitudeResponse(const FilterTaps& taps, double outputRate, int points);

}  // namespace quenlow
