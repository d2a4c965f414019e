#include "filter_tool/welch_average.h"

#include <fftw3.h>
#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "platform/files.h"

namespace quenlow {
namespace {

// The Hann window's equivalent noise bandwidth, in frequency points.
constexpr double kHannNoiseBandwidth = 1.5;
constexpr int kShortestSegment = 64;

// Collects interleaved frames and transforms every full segment, half a
// segment apart, for each channel.
class WelchAverage {
 public:
  WelchAverage(int channels, int segmentLength)
      : channels_(channels),
        length_(segmentLength),
        window_(static_cast<std::size_t>(segmentLength)),
        in_(fftw_alloc_real(static_cast<std::size_t>(segmentLength))),
        out_(fftw_alloc_complex(static_cast<std::size_t>(segmentLength / 2 + 1))),
        plan_(fftw_plan_dft_r2c_1d(segmentLength, in_, out_, FFTW_ESTIMATE)),
        powers_(static_cast<std::size_t>(segmentLength / 2 + 1)) {
    // The periodic Hann window: a sine on a frequency point keeps its full
    // amplitude at that point.
    double sum = 0.0;
    for (int n = 0; n < length_; ++n) {
      window_[static_cast<std::size_t>(n)] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / length_);
      sum += window_[static_cast<std::size_t>(n)];
    }
    scale_ = 2.0 / sum;
  }
  WelchAverage(const WelchAverage&) = delete;
  WelchAverage& operator=(const WelchAverage&) = delete;
  ~WelchAverage() {
    fftw_destroy_plan(plan_);
    fftw_free(out_);
    fftw_free(in_);
  }

  void Add(const double* frames, std::size_t count) {
    pending_.insert(pending_.end(), frames, frames + count * static_cast<std::size_t>(channels_));
    const std::size_t segmentValues = static_cast<std::size_t>(length_) * static_cast<std::size_t>(channels_);
    const std::size_t hopValues = segmentValues / 2;
    std::size_t start = 0;
    while (pending_.size() - start >= segmentValues) {
      Transform(pending_.data() + start);
      start += hopValues;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
  }

  long Segments() const { return segments_; }

  std::vector<double> AveragePowers() const {
    std::vector<double> average = powers_;
    const double transforms = static_cast<double>(segments_) * channels_;
    for (double& p : average) p = transforms > 0 ? p / transforms : 0.0;
    return average;
  }

 private:
  void Transform(const double* segment) {
    for (int c = 0; c < channels_; ++c) {
      for (int n = 0; n < length_; ++n) {
        in_[n] = segment[static_cast<std::size_t>(n) * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)] *
                 window_[static_cast<std::size_t>(n)];
      }
      fftw_execute(plan_);
      for (std::size_t k = 0; k < powers_.size(); ++k) {
        const double re = out_[k][0] * scale_;
        const double im = out_[k][1] * scale_;
        powers_[k] += re * re + im * im;
      }
    }
    ++segments_;
  }

  int channels_;
  int length_;
  std::vector<double> window_;
  double scale_ = 1.0;
  double* in_;
  fftw_complex* out_;
  fftw_plan plan_;
  std::vector<double> powers_;
  std::vector<double> pending_;
  long segments_ = 0;
};

class SoundFile {
 public:
  explicit SoundFile(const std::string& path) : file_(sf_open(path.c_str(), SFM_READ, &info_)) {}
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;
  ~SoundFile() {
    if (file_ != nullptr) sf_close(file_);
  }
  SNDFILE* get() const { return file_; }
  const SF_INFO& info() const { return info_; }

 private:
  SF_INFO info_{};
  SNDFILE* file_;
};

}  // namespace

double Spectrum::LevelDb(std::size_t k) const { return 10.0 * std::log10(powers[k]); }

double Spectrum::BandLevelDb(double fromHz, double toHz) const {
  double sum = 0.0;
  for (std::size_t k = 0; k < powers.size(); ++k) {
    if (Hz(k) >= fromHz && Hz(k) < toHz) sum += powers[k];
  }
  return 10.0 * std::log10(sum / kHannNoiseBandwidth);
}

Spectrum WelchSpectrum(const std::vector<double>& samples, int channels, double sampleRate, int segmentLength) {
  WelchAverage average(channels, segmentLength);
  average.Add(samples.data(), samples.size() / static_cast<std::size_t>(channels));
  Spectrum spectrum;
  spectrum.sampleRate = sampleRate;
  spectrum.segmentLength = segmentLength;
  spectrum.segments = average.Segments();
  spectrum.powers = average.AveragePowers();
  return spectrum;
}

double FileSampleRate(const std::string& path) {
  const SoundFile file(path);
  return file.get() != nullptr ? file.info().samplerate : 0.0;
}

std::optional<Spectrum> FileSpectrum(const std::string& path, const SpectrumStretch& stretch, int segmentLength,
                                     std::string& error) {
  // The system's reason first: libsndfile calls an unreadable file one it
  // does not recognise.
  if (const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC); fd < 0) {
    error = path + ": " + std::strerror(errno);
    return std::nullopt;
  } else {
    close(fd);
  }
  const SoundFile file(path);
  if (file.get() == nullptr) {
    error = path + ": not a recording libsndfile reads (" + sf_strerror(nullptr) + ")";
    return std::nullopt;
  }
  const SF_INFO& info = file.info();
  const double rate = info.samplerate;
  const auto first = static_cast<sf_count_t>(std::llround(stretch.fromSeconds * rate));
  sf_count_t last = info.frames;
  if (stretch.toSeconds) last = std::min(last, static_cast<sf_count_t>(std::llround(*stretch.toSeconds * rate)));
  if (info.frames <= 0) {
    error = path + ": holds no audio";
    return std::nullopt;
  }
  if (first < 0 || first >= last) {
    char seconds[48];
    std::snprintf(seconds, sizeof seconds, "%.3f seconds", static_cast<double>(info.frames) / rate);
    error = path + ": the stretch asked for lies outside its " + seconds;
    return std::nullopt;
  }
  // A short stretch takes a shorter segment rather than none.
  int length = segmentLength;
  while (length > kShortestSegment && length > last - first) length /= 2;
  if (last - first < length) {
    error = path + ": too short for a spectrum (" + std::to_string(last - first) + (last - first == 1 ? " frame)" : " frames)");
    return std::nullopt;
  }
  if (first > 0 && sf_seek(file.get(), first, SEEK_SET) < 0) {
    error = path + ": cannot seek to the stretch asked for";
    return std::nullopt;
  }

  WelchAverage average(info.channels, length);
  std::vector<double> block(static_cast<std::size_t>(length) * static_cast<std::size_t>(info.channels));
  for (sf_count_t done = first; done < last;) {
    const sf_count_t want = std::min<sf_count_t>(length, last - done);
    const sf_count_t got = sf_readf_double(file.get(), block.data(), want);
    if (got <= 0) break;
    average.Add(block.data(), static_cast<std::size_t>(got));
    done += got;
  }
  Spectrum spectrum;
  spectrum.name = platform::FileNameOf(path);
  spectrum.sampleRate = rate;
  spectrum.segmentLength = length;
  spectrum.segments = average.Segments();
  spectrum.powers = average.AveragePowers();
  return spectrum;
}

}  // namespace quenlow
