#include "dsp/quantiser.h"

#include <cstddef>

#include "dsp/extended_float.h"

namespace quenlow {
namespace {

// x / 2^31 rounded to the nearest integer, a half going to the even one.
std::int64_t RoundHalfEvenShift31(std::int64_t x) {
  const std::int64_t floor = x >> 31;  // arithmetic shift: rounds towards -inf
  const std::int64_t remainder = x - floor * (std::int64_t{1} << 31);
  constexpr std::int64_t half = std::int64_t{1} << 30;
  if (remainder > half) return floor + 1;
  if (remainder < half) return floor;
  return floor + (floor & 1);
}

}  // namespace

std::int32_t QuantiseHeldSample(std::int16_t sample, std::uint32_t k1, std::uint32_t k2) {
  const std::int64_t numerator = kGainNumerator * (std::int64_t{1} << 15) * sample +
                                 std::int64_t{k1} + std::int64_t{k2} - (std::int64_t{1} << 31);
  // |q| stays below 8380221 for any 16-bit sample: no range to guard.
  return static_cast<std::int32_t>(RoundHalfEvenShift31(numerator));
}

FilteredSample QuantiseFilteredSample(double value, std::uint32_t k1, std::uint32_t k2) {
  static const ExtendedFloat scale = ExtendedFloat::FromScaled(false, kGainNumerator, -16);
  static const ExtendedFloat one = ExtendedFloat::FromInt64(1);
  ExtendedFloat t = scale * ExtendedFloat::FromDouble(value);
  t = t + ExtendedFloat::FromScaled(false, k1, -31);
  t = t + ExtendedFloat::FromScaled(false, k2, -31);
  t = t - one;
  switch (t.kind()) {
    case ExtendedFloat::Kind::NaN: return {0, false};
    case ExtendedFloat::Kind::Infinity: return {t.negative() ? kSample24Min : kSample24Max, true};
    default: break;
  }
  if (t.kind() == ExtendedFloat::Kind::Finite && t.exponent() >= 63) {
    return {t.negative() ? kSample24Min : kSample24Max, true};
  }
  const std::int64_t q = t.RoundToInt64();
  if (q < kSample24Min) return {kSample24Min, true};
  if (q > kSample24Max) return {kSample24Max, true};
  return {static_cast<std::int32_t>(q), false};
}

std::int32_t QuantiseFilteredValue(double value, std::uint32_t k1, std::uint32_t k2) {
  return QuantiseFilteredSample(value, k1, k2).q;
}

std::int32_t QuantiseTo24(std::int16_t sample, UniformSource& source) {
  const std::uint32_t k1 = NextDraw(source);
  const std::uint32_t k2 = NextDraw(source);
  return QuantiseHeldSample(sample, k1, k2);
}

std::int32_t QuantiseTo24(double value, UniformSource& source) {
  const std::uint32_t k1 = NextDraw(source);
  const std::uint32_t k2 = NextDraw(source);
  return QuantiseFilteredValue(value, k1, k2);
}

PackedSampleBlock QuantiseHeld(const std::vector<std::int16_t>& heldLeft,
                               const std::vector<std::int16_t>& heldRight, UniformSource& source) {
  PackedSampleBlock block(heldLeft.size() * 6);
  for (std::size_t i = 0; i < heldLeft.size(); ++i) {
    PackSample24(QuantiseTo24(heldLeft[i], source), &block[6 * i]);
    PackSample24(QuantiseTo24(heldRight[i], source), &block[6 * i + 3]);
  }
  return block;
}

}  // namespace quenlow
