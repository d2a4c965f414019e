#include "filter_tool/show.h"


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "dsp/fast_filter_phase.h"
#include "dsp/filter_file.h"
#include "filter_tool/filter_figures.h"
#include "platform/files.h"

namespace quenlow {
namespace {

constexpr std::size_t kListedFieldLimit = 20;
constexpr double kDcGainToleranceDb = 0.1;

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Levels that round to zero are shown as 0, never as "-0.00".
double Tidy(double db) { return std::fabs(db) < 0.005 ? 0.0 : db; }

std::string Exact(double value) { return Format("%.17g", value); }

// Hertz as a reader likes them: "22050 Hz", "20958.3 Hz".
std::string HzText(double hz) {
  if (std::isnan(hz)) return "never";
  return Format(hz == std::round(hz) ? "%.0f Hz" : "%.1f Hz", hz);
}

std::string KHzText(double hz) { return Format("%g kHz", hz / 1000.0); }

std::string HexEscape(unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

// The field's characters, with control characters written as escapes.
std::string Quoted(const std::string& text, bool shortened) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\n') quoted += "\\n";
    else if (c == '\r') quoted += "\\r";
    else if (c == '\t') quoted += "\\t";
    else if (c == '"') quoted += "\\\"";
    else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) quoted += HexEscape(static_cast<unsigned char>(c));
    else quoted += c;
  }
  return quoted + (shortened ? "\"..." : "\"");
}

std::string LinesText(int first, int last) {
  return first == last ? "line " + std::to_string(first)
                       : "lines " + std::to_string(first) + "-" + std::to_string(last);
}

// Resolves the file to read: the one named, or the job's own lookup.
std::optional<std::string> ChooseFile(const ShowOptions& options, std::ostream& out, std::ostream& err) {
  if (!options.file.empty()) {
    out << "File: " << options.file << "\n";
    return options.file;
  }
  const std::optional<std::string> found = FindFilterFile();
  std::string places;
  for (const std::string& candidate : FilterFileCandidates()) places += (places.empty() ? "" : ", ") + candidate;
  if (!found) {
    err << "quenlow-filter: no " << kFilterFileName << " found (looked for " << places
        << "); the job would write a filtered file of dither alone\n";
    return std::nullopt;
  }
  out << "File: " << *found << " (the one the job takes; looked for " << places << ")\n";
  return found;
}

void PrintFieldNotes(const FilterTaps& taps, const FilterTapsReport& report, std::ostream& out) {
  std::vector<std::size_t> noted;
  for (std::size_t i = 0; i < report.fields.size(); ++i) {
    const TapFieldNote& note = report.fields[i];
    if (note.Merged() || note.Cut() || !note.holdsNumber) noted.push_back(i);
  }
  if (noted.empty()) {
    out << "Every field read holds one number and nothing else.\n";
    return;
  }
  out << "Fields not read as one plain number (" << noted.size() << "):\n";
  for (std::size_t n = 0; n < noted.size() && n < kListedFieldLimit; ++n) {
    const std::size_t i = noted[n];
    const TapFieldNote& note = report.fields[i];
    out << "  field " << i + 1 << ", " << LinesText(note.firstLine, note.lastLine) << ": "
        << Quoted(note.text, note.textShortened) << (note.quoted ? " (quoted)" : "") << "\n      ";
    std::string what;
    if (note.Merged()) what += "merged: " + std::to_string(note.lastLine - note.firstLine + 1) + " lines run together; ";
    if (!note.holdsNumber) {
      what += "no number: read as 0";
    } else {
      if (note.Cut()) what += "cut: " + Quoted(note.ignored, false) + " after the number is ignored; ";
      what += "read as " + Exact(taps[i]);
    }
    out << what << "\n";
  }
  if (noted.size() > kListedFieldLimit) out << "  ... and " << noted.size() - kListedFieldLimit << " more\n";
}

void PrintWarnings(const FilterTaps& taps, const FilterTapsReport& report, const FilterFigures& figures,
                   std::ostream& out) {
  std::vector<std::string> warnings;
  if (report.bareLineFeeds > 0) {
    warnings.push_back(std::to_string(report.bareLineFeeds) + " line(s) end in a bare line feed (LF without CR), " +
                       "the first on line " + std::to_string(report.firstBareLineFeedLine) +
                       ": the job ends a field only at a comma or CR LF, so such lines run together");
  }
  if (report.endMarkLine > 0) {
    warnings.push_back("an end-of-file mark (1A hex) on line " + std::to_string(report.endMarkLine) +
                       " ends the fields: every tap after it is 0");
  }
  if (report.fields.size() < static_cast<std::size_t>(TapCount)) {
    warnings.push_back("only " + std::to_string(report.fields.size()) + " fields: taps " +
                       std::to_string(report.fields.size() + 1) + " to " + std::to_string(TapCount) + " are 0");
  }
  if (report.unreadTextLine > 0) {
    warnings.push_back("text from line " + std::to_string(report.unreadTextLine) + " on follows field " +
                       std::to_string(TapCount) + " and is never read");
  }
  const double dcDb = 20.0 * std::log10(std::fabs(figures.dcGain));
  if (!(std::fabs(dcDb) <= kDcGainToleranceDb) || figures.dcGain < 0.0) {
    warnings.push_back("the DC gain is " + Exact(figures.dcGain) + Format(" (%+.2f dB)", dcDb) +
                       ", not 1: the filtered file is that much louder or quieter than the unfiltered one" +
                       (figures.dcGain < 0.0 ? ", and inverted" : ""));
  }
  if (!FastPathAllowed(taps)) {
    warnings.push_back("taps outside the fast path's range (a tap not finite, or the taps' magnitudes summing to " +
                       Format("%g", SumOfTapMagnitudes(taps)) + ", above 2^40/32768 = 33554432): the job computes " +
                       "every filtered value the slow exact way");
  }
  if (warnings.empty()) return;
  out << "Warnings:\n";
  for (const std::string& warning : warnings) out << "  " << warning << "\n";
}

void Row(std::ostream& out, const std::string& label, const std::string& a, const std::string& b) {
  char line[200];
  std::snprintf(line, sizeof line, "  %-26s %-31s %s", label.c_str(), a.c_str(), b.c_str());
  std::string text = line;
  text.erase(text.find_last_not_of(' ') + 1);
  out << text << "\n";
}

std::string GroupDelayText(const FilterFigures& f) {
  const double toMicroseconds = 1e6 / f.outputRate;
  if (std::isnan(f.groupDelayAtDc)) return "-";
  if (f.symmetry != TapSymmetry::None) {
    const double delay = (TapCount - 1) / 2.0;
    return Format("%g samples", delay) + Format(" = %.2f us", delay * toMicroseconds);
  }
  if (f.groupDelayHighest - f.groupDelayLowest < 0.005) {
    return Format("%.2f samples", f.groupDelayAtDc) + Format(" = %.2f us", f.groupDelayAtDc * toMicroseconds);
  }
  return Format("%.2f", f.groupDelayLowest) + Format("..%.2f samples", f.groupDelayHighest) +
         Format(" = %.1f", f.groupDelayLowest * toMicroseconds) + Format("..%.1f us", f.groupDelayHighest * toMicroseconds);
}

void PrintFigures(const FilterFigures& a, const FilterFigures& b, std::ostream& out) {
  const double dcDb = 20.0 * std::log10(std::fabs(a.dcGain));
  out << "Figures (levels relative to the DC gain):\n";
  Row(out, "DC gain", Format("%.9f", a.dcGain) + Format(" (%+.3f dB)", dcDb), "");
  Row(out, "symmetry",
      a.symmetry == TapSymmetry::Symmetric       ? "symmetric: linear phase"
      : a.symmetry == TapSymmetry::Antisymmetric ? "antisymmetric: linear phase"
                                                 : "not symmetric (largest difference " + Format("%.3g)", a.largestAsymmetry),
      "");
  Row(out, "", "44.1 kHz input", "48 kHz input");
  Row(out, "filter rate", KHzText(a.outputRate), KHzText(b.outputRate));
  auto ripple = [](const FilterFigures& f) {
    return Format("%.4f dB", f.RippleDb()) + Format(" (%+.4f", f.passbandLowestDb) + Format("..%+.4f)", f.passbandHighestDb);
  };
  Row(out, "passband ripple to 20 kHz", ripple(a), ripple(b));
  Row(out, "-3 dB at", HzText(a.minus3DbHz), HzText(b.minus3DbHz));
  Row(out, "-6 dB at", HzText(a.minus6DbHz), HzText(b.minus6DbHz));
  Row(out, "input's Nyquist", HzText(a.inputRate / 2) + Format(": %.2f dB down", Tidy(a.nyquistAttenuationDb)),
      HzText(b.inputRate / 2) + Format(": %.2f dB down", Tidy(b.nyquistAttenuationDb)));
  Row(out, "stopband from", HzText(a.stopbandFromHz), HzText(b.stopbandFromHz));
  Row(out, "  attenuation (least)", Format("%.2f dB", Tidy(a.stopbandAttenuationDb)) + " at " + HzText(std::round(a.stopbandWorstHz)),
      Format("%.2f dB", Tidy(b.stopbandAttenuationDb)) + " at " + HzText(std::round(b.stopbandWorstHz)));
  Row(out, "group delay", GroupDelayText(a), GroupDelayText(b));
}

}  // namespace

std::vector<PlotPanel> FilterPanels(const FilterTaps& taps, const std::string& name, double inputRate, bool impulse,
                                    int width) {
  const double outputRate = 4.0 * inputRate;
  const MagnitudeCurve curve = MagnitudeResponse(taps, outputRate, std::max(2 * width, 400));
  double lowest = 0.0, highest = -INFINITY;
  for (double db : curve.db) {
    if (!std::isfinite(db)) continue;
    lowest = std::min(lowest, db);
    highest = std::max(highest, db);
  }
  int notFinite = 0, firstNotFinite = 0;
  double sum = 0.0;
  for (int k = TapCount - 1; k >= 0; --k) {
    const double tap = taps[static_cast<std::size_t>(k)];
    sum += tap;
    if (std::isfinite(tap)) continue;
    ++notFinite;
    firstNotFinite = k + 1;
  }
  PlotPanel magnitude;
  magnitude.title = "Magnitude response of " + name + " at " + KHzText(outputRate);
  magnitude.xLabel = "frequency (kHz)";
  magnitude.yLabel = "gain (dB, relative to DC)";
  magnitude.xMin = 0.0;
  magnitude.xMax = outputRate / 2.0;
  magnitude.xLabelScale = 1e-3;
  magnitude.yMin = std::max(-200.0, std::floor(lowest / 20.0) * 20.0);
  // Room above the highest peak, however far a filter rises above its DC gain.
  magnitude.yMax = std::isfinite(highest) ? std::max(10.0, std::ceil((highest + 1.0) / 10.0) * 10.0) : 10.0;
  magnitude.series.push_back({name, curve.hz, curve.db});
  magnitude.markers.push_back({kAudioBandEdge, "20 kHz"});
  magnitude.markers.push_back({inputRate / 2.0, KHzText(inputRate / 2.0) + ": input's Nyquist"});
  if (notFinite > 0) {
    magnitude.note = "No response: tap " + std::to_string(firstNotFinite) + " is not a finite number";
  } else if (sum == 0.0) {
    magnitude.yLabel = "gain (dB)";
    magnitude.note = "The DC gain is 0: levels are relative to a gain of 1";
  }
  std::vector<PlotPanel> panels = {magnitude};
  if (!impulse) return panels;

  // Taps are numbered from 1, as --taps lists them.
  PlotPanel taps_panel;
  taps_panel.title = "Impulse response (the taps)";
  taps_panel.xLabel = "tap";
  taps_panel.yLabel = "value";
  taps_panel.xMin = -1.0;
  taps_panel.xMax = TapCount + 2.0;
  taps_panel.stems = true;
  PlotSeries series{"", {}, {}};
  double low = 0.0, high = 0.0;
  for (int k = 0; k < TapCount; ++k) {
    const double tap = taps[static_cast<std::size_t>(k)];
    series.x.push_back(k + 1);
    series.y.push_back(tap);
    if (std::isfinite(tap)) {
      low = std::min(low, tap);
      high = std::max(high, tap);
    }
  }
  const double margin = high > low ? 0.08 * (high - low) : 1.0;
  taps_panel.yMin = low - margin;
  taps_panel.yMax = high + margin;
  if (notFinite > 0) {
    taps_panel.note = std::to_string(notFinite) + " tap(s) not finite, the first tap " + std::to_string(firstNotFinite) +
                      ": drawn at the panel's edge";
  }
  taps_panel.series.push_back(series);
  panels.push_back(taps_panel);
  return panels;
}

int RunShow(const ShowOptions& options, std::ostream& out, std::ostream& err) {
  // Usage faults are found before any work.
  if (!options.plotFile.empty() && !IsPictureName(options.plotFile)) {
    err << "quenlow-filter show: a picture's name must end in .png or .svg: " << options.plotFile << "\n";
    return 2;
  }
  const std::optional<std::string> path = ChooseFile(options, out, err);
  if (!path) return 1;
  FilterTapsReport report;
  const std::optional<FilterTaps> loaded = LoadFilterTaps(*path, &report);
  if (!loaded) {
    err << "quenlow-filter: " << *path << " cannot be read (missing, unreadable or not a regular file)\n";
    return 1;
  }
  const FilterTaps& taps = *loaded;
  int filled = 0;
  for (const TapFieldNote& note : report.fields) filled += note.holdsNumber ? 1 : 0;
  out << report.fields.size() << " field(s) read; " << filled << " of " << TapCount << " taps filled from numbers\n";
  PrintFieldNotes(taps, report, out);
  const FilterFigures at44 = MeasureFilter(taps, 44100.0);
  const FilterFigures at48 = MeasureFilter(taps, 48000.0);
  PrintWarnings(taps, report, at44, out);
  PrintFigures(at44, at48, out);
  if (options.listTaps) {
    out << "Taps as read:\n";
    for (int k = 0; k < TapCount; ++k) {
      char line[64];
      std::snprintf(line, sizeof line, "  %3d  %.17g\n", k + 1, taps[static_cast<std::size_t>(k)]);
      out << line;
    }
  }
  if (!options.plotFile.empty()) {
    const std::string failure =
        DrawPicture(options.plotFile, options.width, options.height,
                    FilterPanels(taps, platform::FileNameOf(*path), options.plotRate, options.impulse, options.width));
    if (!failure.empty()) {
      err << "quenlow-filter: " << failure << "\n";
      return 1;
    }
    out << "Picture: " << options.plotFile << "\n";
  }
  return 0;
}

}  // namespace quenlow
