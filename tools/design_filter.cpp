// Designs the reconstruction filter that ships as data/recfilt.dat.
//
// Method: a Kaiser-windowed sinc, the window centred on tap 107 of 215 so the
// filter is symmetric (linear phase), then scaled so the taps sum to 1 (unity
// gain at DC).
//   output rate          176400 Hz (four times 44100 Hz)
//   cutoff               22050 Hz, the middle of the 20000 .. 24100 Hz band
//                        between the audio band and the first image
//   Kaiser beta          7.8 (about 79 dB of stopband for this length)
// Targets, checked here before anything is written and again by the tests:
// passband within 0.1 dB up to 20000 Hz, at least 70 dB of attenuation from
// 24100 Hz to 88200 Hz.
//
// Output: one value per line with CR LF line ends, printed with 17 significant
// digits, and each line checked to read back to the same double through the
// program's own coefficient reader.
//
// Usage: design_filter <output file>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "dsp/filter_taps.h"
#include "filter_response.h"

namespace {

using quenlow::FilterTaps;
using quenlow::TapCount;

constexpr double kOutputRate = 176400.0;
constexpr double kCutoff = 22050.0;
constexpr double kKaiserBeta = 7.8;
constexpr double kPassbandEdge = 20000.0;
constexpr double kStopbandEdge = 24100.0;
constexpr double kMaxPassbandDeviationDb = 0.1;
constexpr double kMinStopbandAttenuationDb = 70.0;
constexpr double kGridStep = 5.0;

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

FilterTaps DesignTaps() {
  const int middle = (TapCount - 1) / 2;
  const double fraction = 2.0 * kCutoff / kOutputRate;  // of the Nyquist frequency
  FilterTaps taps{};
  // Only one half is computed; the other is its mirror image, so the taps are
  // exactly symmetric whatever the rounding of sin and the Bessel series.
  for (int n = 0; n <= middle; ++n) {
    const double offset = n - middle;
    const double x = std::numbers::pi * fraction * offset;
    const double sinc = offset == 0 ? 1.0 : std::sin(x) / x;
    const double r = offset / middle;
    const double window = BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / BesselI0(kKaiserBeta);
    taps[n] = fraction * sinc * window;
    taps[TapCount - 1 - n] = taps[n];
  }
  double sum = 0.0;
  for (double tap : taps) sum += tap;
  for (double& tap : taps) tap /= sum;
  return taps;
}

double Amplitude(const FilterTaps& taps, double f) { return quenlow::SymmetricFilterGain(taps, f, kOutputRate); }

struct Response {
  double passband_deviation_db = 0.0;
  double stopband_attenuation_db = 1e9;
};

Response MeasureResponse(const FilterTaps& taps) {
  Response r;
  for (double f = 0.0; f <= kPassbandEdge; f += kGridStep) {
    const double db = 20.0 * std::log10(std::fabs(Amplitude(taps, f)));
    r.passband_deviation_db = std::fmax(r.passband_deviation_db, std::fabs(db));
  }
  for (double f = kStopbandEdge; f <= kOutputRate / 2; f += kGridStep) {
    const double db = -20.0 * std::log10(std::fabs(Amplitude(taps, f)));
    r.stopband_attenuation_db = std::fmin(r.stopband_attenuation_db, db);
  }
  return r;
}

bool WriteTaps(const FilterTaps& taps, const char* path) {
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  bool ok = true;
  for (double tap : taps) {
    char line[40];
    std::snprintf(line, sizeof line, "%.17g", tap);
    if (quenlow::ConvertTapField(line) != tap) {
      std::fprintf(stderr, "design_filter: %s does not read back exactly\n", line);
      ok = false;
    }
    ok = std::fprintf(out, "%s\r\n", line) > 0 && ok;
  }
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: design_filter <output file>\n");
    return 2;
  }
  const FilterTaps taps = DesignTaps();
  const Response response = MeasureResponse(taps);
  std::printf("passband deviation up to %.0f Hz: %.6f dB\n", kPassbandEdge,
              response.passband_deviation_db);
  std::printf("stopband attenuation from %.0f Hz: %.2f dB\n", kStopbandEdge,
              response.stopband_attenuation_db);
  if (response.passband_deviation_db > kMaxPassbandDeviationDb ||
      response.stopband_attenuation_db < kMinStopbandAttenuationDb) {
    std::fprintf(stderr, "design_filter: the design misses its targets\n");
    return 1;
  }
  if (!WriteTaps(taps, argv[1])) {
    std::fprintf(stderr, "design_filter: could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
