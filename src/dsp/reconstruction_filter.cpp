#include "dsp/reconstruction_filter.h"

#include <algorithm>
#include <cstddef>

#include "dsp/extended_float.h"
#include "dsp/oversampler.h"

namespace quenlow {

double AccumulateProduct(double accumulator, double tap, std::int16_t sample) {
  const ExtendedFloat product = ExtendedFloat::FromDouble(tap) * ExtendedFloat::FromInt64(sample);
  return (product + ExtendedFloat::FromDouble(accumulator)).ToDouble();
}

FilteredChannels ConvolveHeld(const std::vector<std::int16_t>& heldLeft,
                              const std::vector<std::int16_t>& heldRight, const FilterTaps& taps) {
  const std::size_t length = heldLeft.size() + TapCount - 1;
  FilteredChannels filtered;
  filtered.left.assign(length, 0.0);
  filtered.right.assign(length, 0.0);
  for (std::size_t i = 0; i < heldLeft.size(); ++i) {
    for (std::size_t k = 0; k < TapCount; ++k) {
      filtered.left[i + k] = AccumulateProduct(filtered.left[i + k], taps[k], heldLeft[i]);
      filtered.right[i + k] = AccumulateProduct(filtered.right[i + k], taps[k], heldRight[i]);
    }
  }
  return filtered;
}

PackedSampleBlock QuantiseFiltered(const FilteredChannels& filtered, UniformSource& source) {
  PackedSampleBlock block(filtered.left.size() * 6);
  for (std::size_t i = 0; i < filtered.left.size(); ++i) {
    PackSample24(QuantiseTo24(filtered.left[i], source), &block[6 * i]);
    PackSample24(QuantiseTo24(filtered.right[i], source), &block[6 * i + 3]);
  }
  return block;
}

double ExactFilteredValue(const FilterTaps& taps, const std::int16_t* samples, std::int64_t frames,
                          int stride, std::int64_t m) {
  const std::int64_t heldLength = frames * OversamplingRatio;
  // ConvolveHeld adds into accumulator m in ascending held index i = m - k,
  // that is from the highest tap that reaches m down to the lowest.
  const std::int64_t highest = std::min<std::int64_t>(TapCount - 1, m);
  const std::int64_t lowest = std::max<std::int64_t>(0, m - (heldLength - 1));
  double accumulator = 0.0;
  for (std::int64_t k = highest; k >= lowest; --k) {
    const std::int64_t frame = (m - k) / OversamplingRatio;
    accumulator = AccumulateProduct(accumulator, taps[static_cast<std::size_t>(k)], samples[frame * stride]);
  }
  return accumulator;
}

}  // namespace quenlow
