#include "filter_tool/welch_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quenlow {
namespace {

constexpr double kHighestInputRate = 96000.0;

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

double HighestRate(const std::vector<Spectrum>& spectra) {
  double highest = 0.0;
  for (const Spectrum& s : spectra) highest = std::max(highest, s.sampleRate);
  return highest;
}

double HighestLevel(const std::vector<Spectrum>& spectra) {
  double highest = -INFINITY;
  for (const Spectrum& s : spectra) {
    for (std::size_t k = 0; k < s.powers.size(); ++k) {
      if (std::isfinite(s.LevelDb(k))) highest = std::max(highest, s.LevelDb(k));
    }
  }
  return highest;
}

void PrintBands(const std::vector<Spectrum>& spectra, std::ostream& out) {
  const double width = BandWidth(spectra);
  out << "Band levels, dB against a full-scale sine, in bands of " << Format("%g Hz", width) << ":\n";
  for (const Spectrum& s : spectra) {
    out << s.name << Format(" (%g Hz", s.sampleRate) << ", " << s.segments
        << Format(" segments of %g frames)\n", s.segmentLength);
    for (double from = 0.0; from < s.sampleRate / 2.0 - 1e-6; from += width) {
      const double to = std::min(from + width, s.sampleRate / 2.0);
      std::size_t peak = 0;
      double peakPower = -1.0;
      for (std::size_t k = 0; k < s.powers.size(); ++k) {
        if (s.Hz(k) >= from && s.Hz(k) < to && s.powers[k] > peakPower) {
          peakPower = s.powers[k];
          peak = k;
        }
      }
      char line[160];
      std::snprintf(line, sizeof line, "  %7.0f - %7.0f Hz   level %8.2f dB   peak %8.2f dB at %8.1f Hz\n", from, to,
                    s.BandLevelDb(from, to), s.LevelDb(peak), s.Hz(peak));
      out << line;
    }
  }
}

}  // namespace

double BandWidth(const std::vector<Spectrum>& spectra) {
  double lowest = HighestRate(spectra);
  for (const Spectrum& s : spectra) lowest = std::min(lowest, s.sampleRate);
  if (lowest > kHighestInputRate) lowest /= 4.0;
  return lowest / 2.0;
}

PlotPanel SpectrumPanel(const std::vector<Spectrum>& spectra, std::optional<double> floorDb) {
  PlotPanel panel;
  panel.title = "Averaged spectra (Welch, Hann window)";
  panel.xLabel = "frequency (kHz)";
  panel.yLabel = "level (dB against a full-scale sine)";
  panel.xMin = 0.0;
  panel.xMax = HighestRate(spectra) / 2.0;
  panel.xLabelScale = 1e-3;
  std::vector<double> levels;
  double highest = -INFINITY;
  for (const Spectrum& s : spectra) {
    PlotSeries series{s.name + Format(" (%g kHz)", s.sampleRate / 1000.0), {}, {}};
    for (std::size_t k = 0; k < s.powers.size(); ++k) {
      const double db = s.LevelDb(k);
      series.x.push_back(s.Hz(k));
      series.y.push_back(db);
      if (std::isfinite(db)) {
        levels.push_back(db);
        highest = std::max(highest, db);
      }
    }
    panel.series.push_back(std::move(series));
  }
  // The floor sits below all but the deepest notches, which would only
  // squeeze the rest of the picture.
  double lowest = -120.0;
  if (!levels.empty()) {
    const auto quantile = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 200);
    std::nth_element(levels.begin(), quantile, levels.end());
    lowest = *quantile - 10.0;
  }
  panel.yMin = floorDb.value_or(std::max(-240.0, std::floor(lowest / 10.0) * 10.0));
  panel.yMax = std::max(0.0, std::ceil(highest / 10.0) * 10.0);
  if (panel.yMax <= panel.yMin) panel.yMax = panel.yMin + 10.0;
  const double inputRate = 2.0 * BandWidth(spectra);
  for (double hz = inputRate; hz < panel.xMax; hz += inputRate) panel.markers.push_back({hz, Format("%g kHz", hz / 1000.0)});
  return panel;
}

int RunSpectrum(const SpectrumOptions& options, std::ostream& out, std::ostream& err) {
  if (options.files.empty() || options.files.size() > kMostSpectra) {
    err << "quenlow-filter spectrum: give one to " << kMostSpectra << " files\n";
    return 2;
  }
  if (!options.text && options.output.empty()) {
    err << "quenlow-filter spectrum: name the picture with -o FILE.png|FILE.svg, or ask for --text\n";
    return 2;
  }
  if (!options.text && !IsPictureName(options.output)) {
    err << "quenlow-filter spectrum: a picture's name must end in .png or .svg: " << options.output << "\n";
    return 2;
  }
  double highest = 0.0;
  for (const std::string& file : options.files) highest = std::max(highest, FileSampleRate(file));
  std::vector<Spectrum> spectra;
  for (const std::string& file : options.files) {
    const double rate = FileSampleRate(file);
    const int length = std::max(2, static_cast<int>(std::lround(options.fftLength * rate / std::max(highest, 1.0))));
    std::string error;
    std::optional<Spectrum> spectrum = FileSpectrum(file, options.stretch, length, error);
    if (!spectrum) {
      err << "quenlow-filter spectrum: " << error << "\n";
      return 1;
    }
    spectra.push_back(std::move(*spectrum));
  }
  if (options.text) {
    PrintBands(spectra, out);
    return 0;
  }
  if (const double highest = HighestLevel(spectra); options.floorDb && !(*options.floorDb < highest)) {
    err << "quenlow-filter spectrum: the floor of " << Format("%g dB", *options.floorDb)
        << " lies above every level (the highest is " << Format("%.1f dB", highest) << "): nothing would be drawn\n";
    return 2;
  }
  const std::string failure = DrawPicture(options.output, options.width, options.height,
                                          {SpectrumPanel(spectra, options.floorDb)});
  if (!failure.empty()) {
    err << "quenlow-filter spectrum: " << failure << "\n";
    return 1;
  }
  out << "Picture: " << options.output << "\n";
  return 0;
}

}  // namespace quenlow
