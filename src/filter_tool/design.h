// Windowed-sinc low-pass filters of the job's 215 taps, and the coefficient
// text the job reads.
#pragma once

#include <optional>
#include <string>

#include "dsp/filter_taps.h"

namespace quenlow {

enum class DesignWindow { Kaiser, Blackman, Hamming, Hann, Rectangular };

// The window's name as the command line spells it, and back.
const char* WindowName(DesignWindow window);
std::optional<DesignWindow> WindowNamed(const std::string& name);

// At most one of beta, transition and attenuation is given, and only for the
// Kaiser window; with none, the Kaiser window takes beta 7.8 (the supplied
// filter). The cutoff defaults to half the input rate.
struct DesignRequest {
  double inputRate = 44100.0;
  std::optional<double> cutoffHz;
  DesignWindow window = DesignWindow::Kaiser;
  std::optional<double> beta;
  std::optional<double> transitionHz;
  std::optional<double> attenuationDb;
};

inline constexpr double kSuppliedKaiserBeta = 7.8;

// The taps, normalised to a DC gain of 1, with what the window promises:
// the width of the band from passband to stopband (centred on the cutoff)
// and the stopband attenuation, from the usual formulas for this length.
struct FilterDesign {
  FilterTaps taps{};
  double outputRate = 0.0;
  double cutoffHz = 0.0;
  double beta = 0.0;  // Kaiser only
  double transitionHz = 0.0;
  double attenuationDb = 0.0;
};

// Nothing, and the reason in `error`, for a request that makes no filter.
std::optional<FilterDesign> DesignFilter(const DesignRequest& request, std::string& error);

// One value per line, CR LF ends, 17 significant digits: enough for every
// value to read back through the job's own reader as the same double.
std::string CoefficientText(const FilterTaps& taps);

}  // namespace quenlow
