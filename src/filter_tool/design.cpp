#include "filter_tool/design.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace quenlow {
namespace {

constexpr int kOrder = TapCount - 1;
constexpr int kMiddle = kOrder / 2;

// Modified Bessel function of the first kind, order 0, by its power series.
double BesselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  const double quarter_square = x * x / 4.0;
  for (int k = 1; k < 200 && term > sum * 1e-18; ++k) {
    term *= quarter_square / (static_cast<double>(k) * k);
    sum += term;
  }
  return sum;
}

// Kaiser's formulas for a filter of kOrder: attenuation A (dB) from the
// transition width dw (radians per sample), and beta from A.
double KaiserAttenuation(double dw) { return 2.285 * kOrder * dw + 7.95; }
double KaiserTransition(double attenuation) { return (attenuation - 7.95) / (2.285 * kOrder); }
double KaiserBeta(double attenuation) {
  if (attenuation > 50.0) return 0.1102 * (attenuation - 8.7);
  if (attenuation >= 21.0) return 0.5842 * std::pow(attenuation - 21.0, 0.4) + 0.07886 * (attenuation - 21.0);
  return 0.0;
}
// The inverse of KaiserBeta, by bisection: it rises with the attenuation.
double KaiserAttenuationForBeta(double beta) {
  if (beta <= 0.0) return 21.0;
  double low = 21.0, high = 1000.0;
  for (int round = 0; round < 100; ++round) {
    const double middle = 0.5 * (low + high);
    (KaiserBeta(middle) < beta ? low : high) = middle;
  }
  return 0.5 * (low + high);
}

struct FixedWindow {
  DesignWindow window;
  const char* name;
  double attenuationDb;    // stopband, about
  double transitionCycles;  // transition width times the length, in cycles (fs / N units)
};

constexpr FixedWindow kWindows[] = {
    {DesignWindow::Kaiser, "kaiser", 0.0, 0.0},
    {DesignWindow::Blackman, "blackman", 74.0, 5.5},
    {DesignWindow::Hamming, "hamming", 53.0, 3.3},
    {DesignWindow::Hann, "hann", 44.0, 3.1},
    {DesignWindow::Rectangular, "rectangular", 21.0, 0.9},
};

const FixedWindow& WindowFacts(DesignWindow window) {
  for (const FixedWindow& w : kWindows) {
    if (w.window == window) return w;
  }
  return kWindows[0];
}

// The window at tap n of the first half (n <= kMiddle). The Kaiser window is
// written as the supplied filter was designed, so that it comes out bit for bit.
double WindowAt(DesignWindow window, double beta, int n) {
  const double offset = n - kMiddle;
  const double phase = 2.0 * std::numbers::pi * n / kOrder;
  switch (window) {
    case DesignWindow::Kaiser: {
      const double r = offset / kMiddle;
      return BesselI0(beta * std::sqrt(1.0 - r * r)) / BesselI0(beta);
    }
    case DesignWindow::Blackman: return 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase);
    case DesignWindow::Hamming: return 0.54 - 0.46 * std::cos(phase);
    case DesignWindow::Hann: return 0.5 - 0.5 * std::cos(phase);
    case DesignWindow::Rectangular: return 1.0;
  }
  return 1.0;
}

std::string CheckRequest(const DesignRequest& request, double cutoff) {
  if (request.inputRate != 44100.0 && request.inputRate != 48000.0) return "the rate must be 44100 or 48000";
  if (!(cutoff > 0.0 && cutoff < 2.0 * request.inputRate)) return "the cutoff must lie between 0 Hz and half the output rate";
  const int given = request.beta.has_value() + request.transitionHz.has_value() + request.attenuationDb.has_value();
  if (given > 1) return "give at most one of --beta, --transition and --attenuation";
  if (given > 0 && request.window != DesignWindow::Kaiser) {
    return std::string("the ") + WindowName(request.window) +
           " window has a fixed shape: --beta, --transition and --attenuation are for the kaiser window";
  }
  if (request.beta && !(*request.beta >= 0.0 && *request.beta <= 50.0)) return "beta must lie between 0 and 50";
  if (request.transitionHz && !(*request.transitionHz > 0.0 && *request.transitionHz < 2.0 * request.inputRate)) {
    return "the transition width must lie between 0 Hz and half the output rate";
  }
  if (request.attenuationDb && !(*request.attenuationDb >= 21.0 && *request.attenuationDb <= 300.0)) {
    return "the attenuation must lie between 21 and 300 dB";
  }
  return {};
}

}  // namespace

const char* WindowName(DesignWindow window) { return WindowFacts(window).name; }

std::optional<DesignWindow> WindowNamed(const std::string& name) {
  for (const FixedWindow& w : kWindows) {
    if (name == w.name) return w.window;
  }
  return std::nullopt;
}

std::optional<FilterDesign> DesignFilter(const DesignRequest& request, std::string& error) {
  FilterDesign design;
  design.outputRate = 4.0 * request.inputRate;
  design.cutoffHz = request.cutoffHz.value_or(request.inputRate / 2.0);
  error = CheckRequest(request, design.cutoffHz);
  if (!error.empty()) return std::nullopt;

  const double radiansPerHz = 2.0 * std::numbers::pi / design.outputRate;
  if (request.window == DesignWindow::Kaiser) {
    if (request.transitionHz) {
      design.attenuationDb = KaiserAttenuation(*request.transitionHz * radiansPerHz);
      design.beta = KaiserBeta(design.attenuationDb);
    } else if (request.attenuationDb) {
      design.attenuationDb = *request.attenuationDb;
      design.beta = KaiserBeta(design.attenuationDb);
    } else {
      design.beta = request.beta.value_or(kSuppliedKaiserBeta);
      design.attenuationDb = KaiserAttenuationForBeta(design.beta);
    }
    design.transitionHz = request.transitionHz.value_or(KaiserTransition(design.attenuationDb) / radiansPerHz);
  } else {
    const FixedWindow& facts = WindowFacts(request.window);
    design.attenuationDb = facts.attenuationDb;
    design.transitionHz = facts.transitionCycles * design.outputRate / TapCount;
  }

  // A transition band that reaches past 0 Hz or half the output rate makes
  // no low-pass filter: the sinc folds over and the window's promises fail.
  const double passbandTo = design.cutoffHz - design.transitionHz / 2.0;
  const double stopbandFrom = design.cutoffHz + design.transitionHz / 2.0;
  if (!(passbandTo > 0.0 && stopbandFrom < design.outputRate / 2.0)) {
    char text[240];
    std::snprintf(text, sizeof text,
                  "the transition band (%.0f to %.0f Hz) must lie between 0 Hz and half the output rate (%.0f Hz): "
                  "move the cutoff or narrow the transition",
                  passbandTo, stopbandFrom, design.outputRate / 2.0);
    error = text;
    return std::nullopt;
  }

  const double fraction = 2.0 * design.cutoffHz / design.outputRate;  // of the Nyquist frequency
  // Only one half is computed; the other is its mirror image, so the taps are
  // exactly symmetric whatever the rounding of sin and the window.
  for (int n = 0; n <= kMiddle; ++n) {
    const double offset = n - kMiddle;
    const double x = std::numbers::pi * fraction * offset;
    const double sinc = offset == 0 ? 1.0 : std::sin(x) / x;
    design.taps[static_cast<std::size_t>(n)] = fraction * sinc * WindowAt(request.window, design.beta, n);
    design.taps[static_cast<std::size_t>(TapCount - 1 - n)] = design.taps[static_cast<std::size_t>(n)];
  }
  double sum = 0.0;
  for (double tap : design.taps) sum += tap;
  for (double& tap : design.taps) tap /= sum;
  return design;
}

std::string CoefficientText(const FilterTaps& taps) {
  std::string text;
  for (double tap : taps) {
    char line[40];
    std::snprintf(line, sizeof line, "%.17g\r\n", tap);
    text += line;
  }
  return text;
}

}  // namespace quenlow
