#include "filter_tool/design_command.h"

#include <cstdio>
#include <fstream>

#include "dsp/filter_taps.h"
#include "filter_tool/filter_figures.h"

namespace quenlow {
namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Written beside its final name and renamed into place, so that a failed
// write never leaves half a filter where the job would read it.
bool WriteWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".part";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    file.flush();
    if (!file) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

void Describe(const DesignRequest& request, const FilterDesign& design, std::ostream& out) {
  const double passbandTo = design.cutoffHz - design.transitionHz / 2.0;
  const double stopbandFrom = design.cutoffHz + design.transitionHz / 2.0;
  out << WindowName(request.window) << " window";
  if (request.window == DesignWindow::Kaiser) out << Format(", beta %.6g", design.beta);
  out << Format("; cutoff %g Hz", design.cutoffHz) << Format(" at %g Hz", design.outputRate) << "\n";
  out << Format("expected: transition %.0f Hz", design.transitionHz) << Format(" (%.0f", passbandTo)
      << Format("..%.0f Hz)", stopbandFrom) << Format(", stopband about %.1f dB down\n", design.attenuationDb);
  if (passbandTo <= 0.0 || stopbandFrom >= design.outputRate / 2.0) return;
  const FilterFigures figures = MeasureFilter(design.taps, request.inputRate, {passbandTo, stopbandFrom});
  out << Format("measured: ripple to %.0f Hz", passbandTo) << Format(" %.4f dB", figures.RippleDb())
      << Format(", -6 dB at %.1f Hz", figures.minus6DbHz)
      << Format(", stopband from %.0f Hz", stopbandFrom) << Format(" %.2f dB down\n", figures.stopbandAttenuationDb);
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
  Describe(options.request, *design, toStandardOutput ? err : out);
  if (toStandardOutput) {
    out << text;
    out.flush();
    return out ? 0 : 1;
  }
  if (!WriteWhole(options.output, text)) {
    err << "quenlow-filter design: cannot write " << options.output << "\n";
    return 1;
  }
  out << "written: " << options.output << "\n";
  return 0;
}

}  // namespace quenlow
