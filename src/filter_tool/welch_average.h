// Averaged magnitude spectra of recordings (Welch's method: Hann-windowed
// segments overlapping by half, power averaged over segments and channels).
// Levels are in dB against a full-scale sine: a sine of peak amplitude A
// centred on a frequency point reads 20 log10(A).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quenlow {

struct Spectrum {
  std::string name;      // the file's name without its folders
  double sampleRate = 0.0;
  int segmentLength = 0;
  long segments = 0;
  std::vector<double> powers;  // per frequency point k at k * rate / segmentLength, 0 .. rate / 2

  double Hz(std::size_t k) const { return k * sampleRate / segmentLength; }
  double LevelDb(std::size_t k) const;
  // The level of everything between two frequencies, on the same scale.
  double BandLevelDb(double fromHz, double toHz) const;
};

// Interleaved samples, full scale 1.
Spectrum WelchSpectrum(const std::vector<double>& samples, int channels, double sampleRate, int segmentLength);

// The seconds `from` .. `to` (to the end when not given) of a file that
// libsndfile reads (WAV, RF64, ...), streamed segment by segment. Nothing,
// and the reason, when the file cannot be read or holds too little.
struct SpectrumStretch {
  double fromSeconds = 0.0;
  std::optional<double> toSeconds;
};
std::optional<Spectrum> FileSpectrum(const std::string& path, const SpectrumStretch& stretch, int segmentLength,
                                     std::string& error);

// The file's sample rate, or 0 when it cannot be read.
double FileSampleRate(const std::string& path);

}  // namespace quenlow
