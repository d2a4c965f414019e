#include "filter_tool/design_command.h"

#include <cstdio>

#include "dsp/filter_taps.h"
#include "filter_tool/filter_figures.h"
#include "wav/finished_file.h"

namespace quenlow {
namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Kaiser's formulas hold to within a decibel up to about 120 dB; past it the
// taps' own rounding sets the floor. The tolerance the manual promises.
double AttenuationTolerance(DesignWindow window) { return window == DesignWindow::Kaiser ? 1.0 : 3.0; }

// The expected and the measured figures; a warning when the stopband falls
// short of what was asked for or expected by more than the tolerance.
void Describe(const DesignRequest& request, const FilterDesign& design, std::ostream& out, std::ostream& err) {
  const double passbandTo = design.cutoffHz - design.transitionHz / 2.0;
  const double stopbandFrom = design.cutoffHz + design.transitionHz / 2.0;
  out << WindowName(request.window) << " window";
  if (request.window == DesignWindow::Kaiser) out << Format(", beta %.6g", design.beta);
  out << Format("; cutoff %g Hz", design.cutoffHz) << Format(" at %g Hz", design.outputRate) << "\n";
  out << Format("expected: transition %.0f Hz", design.transitionHz) << Format(" (%.0f", passbandTo)
      << Format("..%.0f Hz)", stopbandFrom) << Format(", stopband about %.1f dB down\n", design.attenuationDb);
  const FilterFigures figures = MeasureFilter(design.taps, request.inputRate, {passbandTo, stopbandFrom});
  out << Format("measured: ripple to %.0f Hz", passbandTo) << Format(" %.4f dB", figures.RippleDb())
      << Format(", -6 dB at %.1f Hz", figures.minus6DbHz)
      << Format(", stopband from %.0f Hz", stopbandFrom) << Format(" %.2f dB down\n", figures.stopbandAttenuationDb);
  const double shortfall = design.attenuationDb - figures.stopbandAttenuationDb;
  if (shortfall > AttenuationTolerance(request.window)) {
    err << "quenlow-filter design: warning: the stopband measures " << Format("%.1f dB", figures.stopbandAttenuationDb)
        << ", " << Format("%.1f dB", shortfall) << " short of the " << Format("%.1f dB", design.attenuationDb)
        << (request.attenuationDb ? " asked for" : " expected")
        << " (past about 120 dB Kaiser's formulas promise more than 215 taps give)\n";
  }
}

}  // namespace

int RunDesign(const DesignOptions& options, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::optional<FilterDesign> design = DesignFilter(options.request, error);
  if (!design) {
    err << "quenlow-filter design: " << error << "\n";
    return 2;
  }
  const std::string text = CoefficientText(design->taps);
  // Every line must come back through the job's reader as the very tap.
  if (ParseFilterTaps(text) != design->taps) {
    err << "quenlow-filter design: the written values would not read back exactly\n";
    return 1;
  }
  const bool toStandardOutput = options.output == "-";
  Describe(options.request, *design, toStandardOutput ? err : out, err);
  if (toStandardOutput) {
    out << text;
    out.flush();
    return out ? 0 : 1;
  }
  if (const FinishedFileResult written = WriteFinishedFile(options.output, text); !written.Ok()) {
    err << "quenlow-filter design: " << FinishedFileFailureText(options.output, written) << "\n";
    return 1;
  }
  out << "written: " << options.output << "\n";
  return 0;
}

}  // namespace quenlow
