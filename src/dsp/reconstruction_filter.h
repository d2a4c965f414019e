// The reconstruction filter by its defining arithmetic: the direct
// convolution of the held channels with the taps, each product and each sum
// rounded to a 64-bit significand, each sum then stored as a double, the
// contributions taken in ascending order of the held index. This plain code
// fixes the output bits; every faster path is checked against it.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp/filter_taps.h"
#include "dsp/quantiser.h"
#include "dsp/uniform_source.h"

namespace quenlow {

struct FilteredChannels {
  std::vector<double> left;
  std::vector<double> right;
};

// One step of the convolution: accumulator + tap * sample, as stored.
double AccumulateProduct(double accumulator, double tap, std::int16_t sample);

// Full linear convolution: held.size() + TapCount - 1 values a channel.
FilteredChannels ConvolveHeld(const std::vector<std::int16_t>& heldLeft,
                              const std::vector<std::int16_t>& heldRight, const FilterTaps& taps);

// The filtered block: one frame per filtered value, four draws a frame.
PackedSampleBlock QuantiseFiltered(const FilteredChannels& filtered, UniformSource& source);

// Filtered value m of one channel, computed alone but by the same sequence of
// roundings as ConvolveHeld. `samples` is the un-held channel, read with the
// given stride (2 for an interleaved block), `frames` its length: the held
// sample j is samples[(j / 4) * stride].
double ExactFilteredValue(const FilterTaps& taps, const std::int16_t* samples, std::int64_t frames,
                          int stride, std::int64_t m);

}  // namespace quenlow
