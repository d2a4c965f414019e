// A binary floating-point number with a 64-bit significand and the exponent
// range of the IEEE 754 double-extended format, rounded to nearest with ties to
// even after every operation.
//
// Several steps of the program (the filter's products and sums, the quantiser's
// scaling of a filtered value, the coefficient reader's number conversion and
// the rounding for display) are defined in this format. The hardware's own
// extended type differs between platforms, so the program carries its own:
// the same operands give the same bits on every machine.
#pragma once

#include <cstdint>

namespace quenlow {

class ExtendedFloat {
 public:
  enum class Kind : std::uint8_t { Zero, Finite, Infinity, NaN };

  constexpr ExtendedFloat() = default;  // +0

  // Exact: every double and every 64-bit integer is representable.
  static ExtendedFloat FromDouble(double value);
  static ExtendedFloat FromInt64(std::int64_t value);
  static ExtendedFloat FromUint64(std::uint64_t value);

  // Builds sign * significand * 2^exponent, rounded once to the format.
  // significand may be any 64-bit value (0 gives a signed zero).
  static ExtendedFloat FromScaled(bool negative, std::uint64_t significand, std::int64_t exponent);

  // Rounded to nearest, ties to even, to the double format: overflow gives an
  // infinity, tiny values give subnormals or zero, NaN stays NaN.
  double ToDouble() const;

  // Rounded to the nearest integer, a half going to the even neighbour. A NaN,
  // an infinity or a value of magnitude 2^63 or more gives INT64_MIN.
  std::int64_t RoundToInt64() const;

  friend ExtendedFloat operator+(const ExtendedFloat& a, const ExtendedFloat& b);
  friend ExtendedFloat operator-(const ExtendedFloat& a, const ExtendedFloat& b);
  friend ExtendedFloat operator*(const ExtendedFloat& a, const ExtendedFloat& b);
  friend ExtendedFloat operator/(const ExtendedFloat& a, const ExtendedFloat& b);
  ExtendedFloat operator-() const;

  Kind kind() const { return kind_; }
  bool negative() const { return negative_; }
  // For finite values: value = significand * 2^(exponent - 63), with the top
  // bit of the significand set for normal numbers. The smallest exponent is
  // -16382; below it numbers are subnormal (top bit clear), as on the x87.
  std::int32_t exponent() const { return exponent_; }
  std::uint64_t significand() const { return significand_; }

  static ExtendedFloat FromParts(Kind kind, bool negative, std::int32_t exponent,
                                 std::uint64_t significand);

 private:
  Kind kind_ = Kind::Zero;
  bool negative_ = false;
  std::int32_t exponent_ = 0;
  std::uint64_t significand_ = 0;
};

}  // namespace quenlow
