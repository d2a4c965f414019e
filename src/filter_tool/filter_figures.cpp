#include "filter_tool/filter_figures.h"

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <limits>

#include "dsp/filter_response.h"

namespace quenlow {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Zero-padded transform length: about 1.4 Hz between points at 176.4 kHz,
// far finer than the filter's narrowest lobe (about 800 Hz).
constexpr int kDenseLength = 1 << 17;

// The response of a tap sequence at kDenseLength / 2 + 1 frequencies from 0
// to half the rate, by one real transform of the zero-padded taps.
std::vector<std::complex<double>> DenseTransform(const std::vector<double>& taps) {
  double* in = fftw_alloc_real(kDenseLength);
  fftw_complex* out = fftw_alloc_complex(kDenseLength / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(kDenseLength, in, out, FFTW_ESTIMATE);
  for (int i = 0; i < kDenseLength; ++i) in[i] = i < static_cast<int>(taps.size()) ? taps[static_cast<std::size_t>(i)] : 0.0;
  fftw_execute(plan);
  std::vector<std::complex<double>> result(kDenseLength / 2 + 1);
  for (std::size_t i = 0; i < result.size(); ++i) result[i] = {out[i][0], out[i][1]};
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
  return result;
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// The first frequency from DC where the gain falls below `level` times the
// reference: found on the dense grid, then narrowed by bisection on the
// direct sum.
double FirstFallTo(const FilterTaps& taps, const std::vector<std::complex<double>>& dense, double reference,
                   double level, double outputRate) {
  const double step = outputRate / kDenseLength;
  for (std::size_t i = 1; i < dense.size(); ++i) {
    if (std::abs(dense[i]) >= level * reference) continue;
    double low = (i - 1) * step;
    double high = i * step;
    for (int round = 0; round < 40; ++round) {
      const double middle = 0.5 * (low + high);
      if (std::abs(FilterResponse(taps, middle, outputRate)) >= level * reference) low = middle;
      else high = middle;
    }
    return 0.5 * (low + high);
  }
  return kNaN;
}

void MeasureSymmetry(const FilterTaps& taps, FilterFigures& figures) {
  bool symmetric = true;
  bool antisymmetric = true;
  for (int k = 0; k < TapCount; ++k) {
    const double a = taps[static_cast<std::size_t>(k)];
    const double b = taps[static_cast<std::size_t>(TapCount - 1 - k)];
    symmetric = symmetric && a == b;
    antisymmetric = antisymmetric && a == -b;
    figures.largestAsymmetry = std::fmax(figures.largestAsymmetry, std::fabs(a - b));
  }
  figures.symmetry = symmetric ? TapSymmetry::Symmetric
                     : antisymmetric ? TapSymmetry::Antisymmetric
                                     : TapSymmetry::None;
}

// Group delay = Re(DFT(k h_k) / DFT(h_k)), in samples.
void MeasureGroupDelay(const FilterTaps& taps, const std::vector<std::complex<double>>& dense,
                       std::size_t passbandEnd, FilterFigures& figures) {
  std::vector<double> ramp(TapCount);
  for (int k = 0; k < TapCount; ++k) ramp[static_cast<std::size_t>(k)] = k * taps[static_cast<std::size_t>(k)];
  const std::vector<std::complex<double>> weighted = DenseTransform(ramp);
  figures.groupDelayLowest = INFINITY;
  figures.groupDelayHighest = -INFINITY;
  for (std::size_t i = 0; i <= passbandEnd; ++i) {
    const double delay = (weighted[i] / dense[i]).real();
    if (i == 0) figures.groupDelayAtDc = delay;
    figures.groupDelayLowest = std::fmin(figures.groupDelayLowest, delay);
    figures.groupDelayHighest = std::fmax(figures.groupDelayHighest, delay);
  }
}

}  // namespace

FilterFigures MeasureFilter(const FilterTaps& taps, double inputRate, BandEdges edges) {
  FilterFigures figures;
  figures.inputRate = inputRate;
  figures.outputRate = 4.0 * inputRate;
  figures.passbandToHz = edges.passbandToHz > 0.0 ? edges.passbandToHz : kAudioBandEdge;
  figures.stopbandFromHz = edges.stopbandFromHz > 0.0 ? edges.stopbandFromHz : inputRate - kAudioBandEdge;
  MeasureSymmetry(taps, figures);
  double sum = 0.0;
  bool finite = true;
  for (double tap : taps) {
    sum += tap;
    finite = finite && std::isfinite(tap);
  }
  figures.dcGain = sum;
  const double reference = std::fabs(sum);
  if (!finite || reference == 0.0 || !std::isfinite(reference)) {
    figures.passbandLowestDb = figures.passbandHighestDb = figures.minus3DbHz = figures.minus6DbHz = kNaN;
    figures.nyquistAttenuationDb = figures.stopbandAttenuationDb = figures.stopbandWorstHz = kNaN;
    figures.groupDelayLowest = figures.groupDelayHighest = figures.groupDelayAtDc = kNaN;
    return figures;
  }

  const std::vector<double> tapList(taps.begin(), taps.end());
  const std::vector<std::complex<double>> dense = DenseTransform(tapList);
  const double step = figures.outputRate / kDenseLength;
  const auto passbandEnd = static_cast<std::size_t>(figures.passbandToHz / step);

  figures.passbandLowestDb = INFINITY;
  figures.passbandHighestDb = -INFINITY;
  for (std::size_t i = 0; i <= passbandEnd; ++i) {
    const double db = Db(std::abs(dense[i]) / reference);
    figures.passbandLowestDb = std::fmin(figures.passbandLowestDb, db);
    figures.passbandHighestDb = std::fmax(figures.passbandHighestDb, db);
  }
  const double edgeDb = Db(std::abs(FilterResponse(taps, figures.passbandToHz, figures.outputRate)) / reference);
  figures.passbandLowestDb = std::fmin(figures.passbandLowestDb, edgeDb);
  figures.passbandHighestDb = std::fmax(figures.passbandHighestDb, edgeDb);

  figures.minus3DbHz = FirstFallTo(taps, dense, reference, std::pow(10.0, -3.0 / 20.0), figures.outputRate);
  figures.minus6DbHz = FirstFallTo(taps, dense, reference, std::pow(10.0, -6.0 / 20.0), figures.outputRate);
  figures.nyquistAttenuationDb = -Db(std::abs(FilterResponse(taps, inputRate / 2.0, figures.outputRate)) / reference);

  double worst = -1.0;
  for (auto i = static_cast<std::size_t>(std::ceil(figures.stopbandFromHz / step)); i < dense.size(); ++i) {
    const double gain = std::abs(dense[i]);
    if (gain > worst) {
      worst = gain;
      figures.stopbandWorstHz = i * step;
    }
  }
  figures.stopbandAttenuationDb = -Db(worst / reference);
  MeasureGroupDelay(taps, dense, passbandEnd, figures);
  return figures;
}

MagnitudeCurve MagnitudeResponse(const FilterTaps& taps, double outputRate, int points) {
  double reference = 0.0;
  for (double tap : taps) reference += tap;
  reference = std::fabs(reference);
  if (reference == 0.0 || !std::isfinite(reference)) reference = 1.0;
  MagnitudeCurve curve;
  for (int i = 0; i < points; ++i) {
    const double hz = outputRate / 2.0 * i / (points - 1);
    curve.hz.push_back(hz);
    curve.db.push_back(Db(std::abs(FilterResponse(taps, hz, outputRate)) / reference));
  }
  return curve;
}

}  // namespace quenlow
