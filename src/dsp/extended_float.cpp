// Placeholder until the portable implementation lands: it leans on the x87's
// long double and so only gives the right bits on x86-64.
#include "dsp/extended_float.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace quenlow {
namespace {

long double ToLong(const ExtendedFloat& x) {
  switch (x.kind()) {
    case ExtendedFloat::Kind::Zero: return x.negative() ? -0.0L : 0.0L;
    case ExtendedFloat::Kind::Infinity:
      return x.negative() ? -std::numeric_limits<long double>::infinity()
                          : std::numeric_limits<long double>::infinity();
    case ExtendedFloat::Kind::NaN: return std::numeric_limits<long double>::quiet_NaN();
    case ExtendedFloat::Kind::Finite: break;
  }
  long double v = std::ldexp(static_cast<long double>(x.significand()), x.exponent() - 63);
  return x.negative() ? -v : v;
}

ExtendedFloat FromLong(long double v) {
  if (std::isnan(v)) return ExtendedFloat::FromParts(ExtendedFloat::Kind::NaN, false, 0, 0);
  if (std::isinf(v)) return ExtendedFloat::FromParts(ExtendedFloat::Kind::Infinity, v < 0, 0, 0);
  if (v == 0) return ExtendedFloat::FromParts(ExtendedFloat::Kind::Zero, std::signbit(v), 0, 0);
  int e = 0;
  long double m = std::frexp(std::fabs(v), &e);  // [0.5, 1)
  auto sig = static_cast<std::uint64_t>(std::ldexp(m, 64));
  return ExtendedFloat::FromParts(ExtendedFloat::Kind::Finite, v < 0, e - 1, sig);
}

}  // namespace

ExtendedFloat ExtendedFloat::FromParts(Kind kind, bool negative, std::int32_t exponent,
                                       std::uint64_t significand) {
  ExtendedFloat x;
  x.kind_ = kind;
  x.negative_ = negative;
  x.exponent_ = exponent;
  x.significand_ = significand;
  return x;
}
ExtendedFloat ExtendedFloat::FromDouble(double v) { return FromLong(v); }
ExtendedFloat ExtendedFloat::FromInt64(std::int64_t v) { return FromLong(static_cast<long double>(v)); }
ExtendedFloat ExtendedFloat::FromUint64(std::uint64_t v) { return FromLong(static_cast<long double>(v)); }
ExtendedFloat ExtendedFloat::FromScaled(bool negative, std::uint64_t s, std::int64_t e) {
  long double v = std::ldexp(static_cast<long double>(s), static_cast<int>(e));
  return FromLong(negative ? -v : v);
}
double ExtendedFloat::ToDouble() const { return static_cast<double>(ToLong(*this)); }
std::int64_t ExtendedFloat::RoundToInt64() const {
  long double v = ToLong(*this);
  if (std::isnan(v) || std::fabs(v) >= 0x1p63L) return std::numeric_limits<std::int64_t>::min();
  return std::llrint(v);
}
ExtendedFloat operator+(const ExtendedFloat& a, const ExtendedFloat& b) { return FromLong(ToLong(a) + ToLong(b)); }
ExtendedFloat operator-(const ExtendedFloat& a, const ExtendedFloat& b) { return FromLong(ToLong(a) - ToLong(b)); }
ExtendedFloat operator*(const ExtendedFloat& a, const ExtendedFloat& b) { return FromLong(ToLong(a) * ToLong(b)); }
ExtendedFloat operator/(const ExtendedFloat& a, const ExtendedFloat& b) { return FromLong(ToLong(a) / ToLong(b)); }
ExtendedFloat ExtendedFloat::operator-() const {
  ExtendedFloat x = *this;
  x.negative_ = !x.negative_;
  return x;
}

}  // namespace quenlow
