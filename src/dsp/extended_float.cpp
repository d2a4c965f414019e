// ExtendedFloat in integer arithmetic only, so that every machine gives the
// same bits as the x87 does with 64-bit precision, denormals and masked
// underflow.
//
// Representation: a finite value is significand * 2^(exponent - 63). Normal
// numbers keep the significand's top bit set and an exponent in
// -16382..16383; subnormals sit at exponent -16382 with the top bit clear.
// Zero, infinity and NaN are kinds of their own.
//
// Rounding: each operation first forms its result as a normalised 64-bit
// significand `hi` plus a 64-bit `lo` holding the bits below it, the lowest
// bit of `lo` collecting (ORing in) every nonzero bit further down. This is
// exact for rounding: the top bit of `lo` is the half-way bit and the rest
// tells "exactly half" from "more". When the exponent lies below the normal
// range, hi:lo is shifted to the subnormal position first and rounded once
// there, never twice. Products come whole from a 64x64->128 multiply, sums
// from aligning the two significands in 128 bits with the shifted-out bits
// kept as sticky bits, quotients from a 128/64 division whose remainder tells
// where the true quotient lies against the half-way point.
//
// This uses unsigned __int128 (g++ and clang on 64-bit targets); another
// compiler needs a two-word replacement for Uint128.
#include "dsp/extended_float.h"

#include <algorithm>
#include <bit>

namespace quenlow {
namespace {

__extension__ typedef unsigned __int128 Uint128;

using Kind = ExtendedFloat::Kind;

constexpr std::int64_t kMinNormalExponent = -16382;
constexpr std::int64_t kMaxExponent = 16383;
constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

// A nonzero finite value with its significand shifted up until the top bit is
// set, so that subnormal operands need no special path.
struct Unpacked {
  bool negative;
  std::int64_t exponent;
  std::uint64_t significand;
};

ExtendedFloat Zero(bool negative) { return ExtendedFloat::FromParts(Kind::Zero, negative, 0, 0); }
ExtendedFloat Infinity(bool negative) {
  return ExtendedFloat::FromParts(Kind::Infinity, negative, 0, 0);
}
ExtendedFloat NaN() { return ExtendedFloat::FromParts(Kind::NaN, false, 0, 0); }

// A finite value with a zero significand (only FromParts can build one) is a zero.
Kind KindOf(const ExtendedFloat& x) {
  if (x.kind() == Kind::Finite && x.significand() == 0) return Kind::Zero;
  return x.kind();
}

Unpacked Unpack(const ExtendedFloat& x) {
  const int shift = std::countl_zero(x.significand());
  return {x.negative(), std::int64_t{x.exponent()} - shift, x.significand() << shift};
}

int CountLeadingZeros(Uint128 x) {
  const auto hi = static_cast<std::uint64_t>(x >> 64);
  return hi != 0 ? std::countl_zero(hi) : 64 + std::countl_zero(static_cast<std::uint64_t>(x));
}

// The value (hi + lo / 2^64) * 2^(exponent - 63), hi having its top bit set,
// rounded to nearest with ties to even; see the comment at the top.
[[gnu::always_inline]] inline ExtendedFloat Round(bool negative, std::int64_t exponent,
                                                  std::uint64_t hi, std::uint64_t lo) {
  if (exponent > kMaxExponent) return Infinity(negative);
  if (exponent < kMinNormalExponent) {
    // Anything shifted 127 places or more lies below half the smallest
    // subnormal and only its stickiness matters.
    const auto shift = static_cast<int>(std::min<std::int64_t>(kMinNormalExponent - exponent, 127));
    Uint128 v = (Uint128{hi} << 64) | lo;
    const bool sticky = (v << (128 - shift)) != 0;
    v >>= shift;
    hi = static_cast<std::uint64_t>(v >> 64);
    lo = static_cast<std::uint64_t>(v) | static_cast<std::uint64_t>(sticky);
    exponent = kMinNormalExponent;
  }
  const std::uint64_t up = (lo >> 63) & (static_cast<std::uint64_t>((lo << 1) != 0) | hi);
  std::uint64_t significand = hi + (up & 1);
  if (significand < hi) {  // all ones rounded up: carry into the next binade
    significand = kTopBit;
    if (++exponent > kMaxExponent) return Infinity(negative);
  }
  if (significand == 0) return Zero(negative);
  return ExtendedFloat::FromParts(Kind::Finite, negative, static_cast<std::int32_t>(exponent),
                                  significand);
}

ExtendedFloat Canonical(const ExtendedFloat& x) {
  const Kind kind = KindOf(x);
  if (kind == Kind::NaN) return NaN();
  if (kind != Kind::Finite) return ExtendedFloat::FromParts(kind, x.negative(), 0, 0);
  const Unpacked u = Unpack(x);
  return Round(u.negative, u.exponent, u.significand, 0);
}

// No branches on the operands' signs or on which one is larger: in a filter's
// sum these change at random from one term to the next.
ExtendedFloat AddFinite(const Unpacked& p, const Unpacked& q) {
  // a is the operand of larger magnitude, so the result takes its sign.
  const bool swap =
      p.exponent < q.exponent || (p.exponent == q.exponent && p.significand < q.significand);
  const Unpacked a = swap ? q : p;
  const Unpacked b = swap ? p : q;
  // One bit of headroom above for a carry, 63 guard bits below; the bits of b
  // shifted out past the bottom survive as a sticky bit. A deep cancellation
  // only happens when the exponents differ by at most one, and then nothing
  // was shifted out, so the difference is exact.
  const auto distance = static_cast<int>(std::min<std::int64_t>(a.exponent - b.exponent, 127));
  const Uint128 x = Uint128{a.significand} << 63;
  const Uint128 y = Uint128{b.significand} << 63;
  const bool sticky = ((y << (127 - distance)) << 1) != 0;
  const Uint128 aligned = (y >> distance) | static_cast<Uint128>(sticky);
  // Subtracting is adding the two's complement: flip all bits and add one.
  const Uint128 flip = -static_cast<Uint128>(a.negative != b.negative);
  Uint128 sum = x + (aligned ^ flip) + (flip & 1);
  if (sum == 0) return Zero(false);
  const int shift = CountLeadingZeros(sum);
  sum <<= shift;
  return Round(a.negative, a.exponent + 1 - shift, static_cast<std::uint64_t>(sum >> 64),
               static_cast<std::uint64_t>(sum));
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

ExtendedFloat ExtendedFloat::FromDouble(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const auto biased = static_cast<std::int64_t>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0x7FF) return fraction != 0 ? NaN() : Infinity(negative);
  if (biased == 0) return FromScaled(negative, fraction, -1074);
  return FromScaled(negative, fraction | (std::uint64_t{1} << 52), biased - 1075);
}

ExtendedFloat ExtendedFloat::FromInt64(std::int64_t value) {
  const auto magnitude = static_cast<std::uint64_t>(value);
  return FromScaled(value < 0, value < 0 ? 0 - magnitude : magnitude, 0);
}

ExtendedFloat ExtendedFloat::FromUint64(std::uint64_t value) { return FromScaled(false, value, 0); }

ExtendedFloat ExtendedFloat::FromScaled(bool negative, std::uint64_t significand,
                                        std::int64_t exponent) {
  if (significand == 0) return Zero(negative);
  // Beyond these bounds every value overflows or rounds to zero alike; the
  // clamp keeps the exponent arithmetic from wrapping.
  exponent = std::clamp<std::int64_t>(exponent, -(std::int64_t{1} << 20), std::int64_t{1} << 20);
  const int shift = std::countl_zero(significand);
  return Round(negative, exponent + 63 - shift, significand << shift, 0);
}

double ExtendedFloat::ToDouble() const {
  switch (KindOf(*this)) {
    case Kind::NaN:
      return std::bit_cast<double>(std::uint64_t{0x7FF8000000000000});
    case Kind::Infinity:
      return std::bit_cast<double>((std::uint64_t{negative_} << 63) | 0x7FF0000000000000);
    case Kind::Zero:
      return std::bit_cast<double>(std::uint64_t{negative_} << 63);
    case Kind::Finite:
      break;
  }
  const std::uint64_t sign = std::uint64_t{negative_} << 63;
  const Unpacked u = Unpack(*this);
  if (u.exponent > 1023) return std::bit_cast<double>(sign | 0x7FF0000000000000);
  // Keep 53 bits, fewer below the normal range so that a subnormal result is
  // rounded once at its own last place. Past 65 dropped bits the value is
  // under half the smallest subnormal.
  const int dropped = 11 + static_cast<int>(std::clamp<std::int64_t>(-1022 - u.exponent, 0, 54));
  const Uint128 whole = u.significand;
  const Uint128 half = Uint128{1} << (dropped - 1);
  const Uint128 rest = whole & ((half << 1) - 1);
  auto kept = static_cast<std::uint64_t>(whole >> dropped);
  kept += static_cast<std::uint64_t>(rest > half || (rest == half && (kept & 1) != 0));
  // A carry out of the kept bits moves into the exponent field by itself,
  // up to infinity, and a subnormal rounded up to 2^52 becomes the smallest
  // normal the same way.
  if (u.exponent < -1022) return std::bit_cast<double>(sign | kept);
  const auto biased = static_cast<std::uint64_t>(u.exponent + 1022);
  return std::bit_cast<double>(sign | ((biased << 52) + kept));
}

std::int64_t ExtendedFloat::RoundToInt64() const {
  constexpr std::int64_t kInvalid = INT64_MIN;
  switch (KindOf(*this)) {
    case Kind::NaN:
    case Kind::Infinity:
      return kInvalid;
    case Kind::Zero:
      return 0;
    case Kind::Finite:
      break;
  }
  const Unpacked u = Unpack(*this);
  if (u.exponent >= 63) return kInvalid;
  if (u.exponent < -1) return 0;                          // under one half
  const int dropped = static_cast<int>(63 - u.exponent);  // 1..64
  const Uint128 whole = u.significand;
  const Uint128 half = Uint128{1} << (dropped - 1);
  const Uint128 rest = whole & ((half << 1) - 1);
  auto magnitude = static_cast<std::uint64_t>(whole >> dropped);
  magnitude += static_cast<std::uint64_t>(rest > half || (rest == half && (magnitude & 1) != 0));
  // A magnitude of 2^63 (rounded up from just below it) is out of range too;
  // as a negative value it is INT64_MIN itself.
  if (magnitude >= kTopBit) return kInvalid;
  const auto value = static_cast<std::int64_t>(magnitude);
  return u.negative ? -value : value;
}

ExtendedFloat operator+(const ExtendedFloat& a, const ExtendedFloat& b) {
  const Kind ka = KindOf(a);
  const Kind kb = KindOf(b);
  if (ka == Kind::Finite && kb == Kind::Finite) return AddFinite(Unpack(a), Unpack(b));
  if (ka == Kind::NaN || kb == Kind::NaN) return NaN();
  if (ka == Kind::Infinity) {
    return kb == Kind::Infinity && a.negative() != b.negative() ? NaN() : Infinity(a.negative());
  }
  if (kb == Kind::Infinity) return Infinity(b.negative());
  if (ka == Kind::Zero && kb == Kind::Zero) return Zero(a.negative() && b.negative());
  return Canonical(ka == Kind::Zero ? b : a);
}

ExtendedFloat operator-(const ExtendedFloat& a, const ExtendedFloat& b) { return a + -b; }

ExtendedFloat operator*(const ExtendedFloat& a, const ExtendedFloat& b) {
  const Kind ka = KindOf(a);
  const Kind kb = KindOf(b);
  const bool negative = a.negative() != b.negative();
  if (ka == Kind::Finite && kb == Kind::Finite) {
    const Unpacked ua = Unpack(a);
    const Unpacked ub = Unpack(b);
    // The product of two normalised significands has its top bit at 126 or
    // 127; shift it up by one when it is at 126.
    Uint128 product = Uint128{ua.significand} * ub.significand;
    const auto top = static_cast<int>(product >> 127);
    product <<= 1 - top;
    return Round(negative, ua.exponent + ub.exponent + top,
                 static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product));
  }
  if (ka == Kind::NaN || kb == Kind::NaN) return NaN();
  if (ka == Kind::Infinity || kb == Kind::Infinity) {
    return ka == Kind::Zero || kb == Kind::Zero ? NaN() : Infinity(negative);
  }
  return Zero(negative);
}

ExtendedFloat operator/(const ExtendedFloat& a, const ExtendedFloat& b) {
  const Kind ka = KindOf(a);
  const Kind kb = KindOf(b);
  const bool negative = a.negative() != b.negative();
  if (ka == Kind::NaN || kb == Kind::NaN) return NaN();
  if (ka == Kind::Infinity) return kb == Kind::Infinity ? NaN() : Infinity(negative);
  if (kb == Kind::Infinity) return Zero(negative);
  if (ka == Kind::Zero) return kb == Kind::Zero ? NaN() : Zero(negative);
  if (kb == Kind::Zero) return Infinity(negative);

  const Unpacked ua = Unpack(a);
  const Unpacked ub = Unpack(b);
  // Scale the dividend so that the quotient has exactly 64 bits. The
  // remainder against half the divisor gives the round and sticky bits.
  const int smaller = ua.significand < ub.significand ? 1 : 0;
  const Uint128 dividend = Uint128{ua.significand} << (63 + smaller);
  const auto quotient = static_cast<std::uint64_t>(dividend / ub.significand);
  const auto remainder = static_cast<std::uint64_t>(dividend % ub.significand);
  const std::uint64_t other = ub.significand - remainder;  // remainder * 2 vs divisor
  std::uint64_t lo = 0;
  if (remainder != 0) lo = remainder > other ? kTopBit | 1 : (remainder == other ? kTopBit : 1);
  return Round(negative, ua.exponent - ub.exponent - smaller, quotient, lo);
}

ExtendedFloat ExtendedFloat::operator-() const {
  ExtendedFloat x = *this;
  x.negative_ = !x.negative_;
  return x;
}

}  // namespace quenlow
