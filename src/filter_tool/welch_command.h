// quenlow-filter spectrum: averaged spectra of up to four recordings, drawn
// over one another or printed as band levels.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "filter_tool/plot.h"
#include "filter_tool/welch_average.h"

namespace quenlow {

inline constexpr std::size_t kMostSpectra = 4;

struct SpectrumOptions {
  std::vector<std::string> files;
  SpectrumStretch stretch;
  int fftLength = 8192;  // for the file of the highest rate; the others keep its frequency spacing
  std::string output;    // the picture
  bool text = false;     // band levels instead of a picture
  int width = 1200;
  int height = 700;
  std::optional<double> floorDb;
};

int RunSpectrum(const SpectrumOptions& options, std::ostream& out, std::ostream& err);

// The bands the text lists: half the input rate wide, the input rate being
// the lowest among the files, or a quarter of it when all are at 4x rates.
double BandWidth(const std::vector<Spectrum>& spectra);

PlotPanel SpectrumPanel(const std::vector<Spectrum>& spectra, std::optional<double> floorDb);

}  // namespace quenlow
