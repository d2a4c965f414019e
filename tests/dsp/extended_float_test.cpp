// ExtendedFloat against two references: GNU MPFR set up as the x87 format
// (64-bit precision, the x87 exponent range, subnormals), and on machines whose
// long double is that format, the hardware itself.
#include "dsp/extended_float.h"

// MPFR declares its intmax_t functions only after <cstdint> and <cinttypes>.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace quenlow {
namespace {

using Kind = ExtendedFloat::Kind;
using Rng = std::mt19937_64;

constexpr bool kNativeX87 = std::numeric_limits<long double>::digits == 64;
constexpr int kMinNormal = -16382;
constexpr int kMax = 16383;
constexpr std::uint64_t kTop = std::uint64_t{1} << 63;

ExtendedFloat Finite(bool negative, int exponent, std::uint64_t significand) {
  return ExtendedFloat::FromParts(Kind::Finite, negative, exponent, significand);
}

std::string Hex(const ExtendedFloat& x) {
  const char* sign = x.negative() ? "-" : "+";
  char text[80];
  switch (x.kind()) {
    case Kind::Zero:
      return std::string(sign) + "0";
    case Kind::Infinity:
      return std::string(sign) + "inf";
    case Kind::NaN:
      return "nan";
    case Kind::Finite:
      break;
  }
  std::snprintf(text, sizeof text, "%s0x%016" PRIx64 "*2^(%d-63)", sign, x.significand(),
                x.exponent());
  return text;
}

bool Same(const ExtendedFloat& a, const ExtendedFloat& b) {
  if (a.kind() != b.kind()) return false;
  if (a.kind() == Kind::NaN) return true;
  if (a.negative() != b.negative()) return false;
  return a.kind() != Kind::Finite ||
         (a.exponent() == b.exponent() && a.significand() == b.significand());
}

// MPFR as the x87: exponents in MPFR's convention (value = 0.1xxx * 2^e), the
// smallest subnormal 2^-16445 and the largest finite value just under 2^16384.
class Reference {
 public:
  Reference() {
    mpfr_set_emin(-16444);
    mpfr_set_emax(16384);
    for (mpfr_t* v : {&a_, &b_, &r_, &t_}) mpfr_init2(*v, 64);
  }
  ~Reference() {
    for (mpfr_t* v : {&a_, &b_, &r_, &t_}) mpfr_clear(*v);
  }
  Reference(const Reference&) = delete;
  Reference& operator=(const Reference&) = delete;

  ExtendedFloat Binary(char op, const ExtendedFloat& a, const ExtendedFloat& b) {
    Set(a_, a);
    Set(b_, b);
    int inexact = 0;
    switch (op) {
      case '+':
        inexact = mpfr_add(r_, a_, b_, MPFR_RNDN);
        break;
      case '-':
        inexact = mpfr_sub(r_, a_, b_, MPFR_RNDN);
        break;
      case '*':
        inexact = mpfr_mul(r_, a_, b_, MPFR_RNDN);
        break;
      default:
        inexact = mpfr_div(r_, a_, b_, MPFR_RNDN);
        break;
    }
    mpfr_subnormalize(r_, inexact, MPFR_RNDN);
    return Get(r_);
  }
  ExtendedFloat Scaled(bool negative, std::uint64_t significand, std::int64_t exponent) {
    mpfr_set_uj(r_, significand, MPFR_RNDN);
    if (negative) mpfr_neg(r_, r_, MPFR_RNDN);
    const int inexact = mpfr_mul_2si(r_, r_, exponent, MPFR_RNDN);
    mpfr_subnormalize(r_, inexact, MPFR_RNDN);
    return Get(r_);
  }
  ExtendedFloat Integer(std::int64_t value) {
    mpfr_set_sj(r_, value, MPFR_RNDN);
    return Get(r_);
  }
  ExtendedFloat OfDouble(double value) {
    mpfr_set_d(r_, value, MPFR_RNDN);
    return Get(r_);
  }
  double ToDouble(const ExtendedFloat& x) {
    Set(a_, x);
    return mpfr_get_d(a_, MPFR_RNDN);
  }
  std::int64_t RoundToInt64(const ExtendedFloat& x) {
    Set(a_, x);
    if (mpfr_nan_p(a_) || mpfr_inf_p(a_)) return INT64_MIN;
    mpfr_rint(r_, a_, MPFR_RNDN);
    if (!mpfr_fits_intmax_p(r_, MPFR_RNDN)) return INT64_MIN;
    return mpfr_get_sj(r_, MPFR_RNDN);
  }

 private:
  void Set(mpfr_t v, const ExtendedFloat& x) {
    switch (x.kind()) {
      case Kind::Zero:
        mpfr_set_zero(v, x.negative() ? -1 : 1);
        return;
      case Kind::Infinity:
        mpfr_set_inf(v, x.negative() ? -1 : 1);
        return;
      case Kind::NaN:
        mpfr_set_nan(v);
        return;
      case Kind::Finite:
        break;
    }
    mpfr_set_uj(v, x.significand(), MPFR_RNDN);
    mpfr_mul_2si(v, v, x.exponent() - 63, MPFR_RNDN);
    if (x.negative()) mpfr_neg(v, v, MPFR_RNDN);
  }
  ExtendedFloat Get(mpfr_t v) {
    const bool negative = mpfr_signbit(v) != 0;
    if (mpfr_nan_p(v)) return ExtendedFloat::FromParts(Kind::NaN, false, 0, 0);
    if (mpfr_inf_p(v)) return ExtendedFloat::FromParts(Kind::Infinity, negative, 0, 0);
    if (mpfr_zero_p(v)) return ExtendedFloat::FromParts(Kind::Zero, negative, 0, 0);
    const long e = mpfr_get_exp(v);
    mpfr_abs(t_, v, MPFR_RNDN);
    mpfr_mul_2si(t_, t_, 64 - e, MPFR_RNDN);
    std::uint64_t significand = mpfr_get_uj(t_, MPFR_RNDN);
    long exponent = e - 1;
    if (exponent < kMinNormal) {
      significand >>= kMinNormal - exponent;
      exponent = kMinNormal;
    }
    return Finite(negative, static_cast<int>(exponent), significand);
  }

  mpfr_t a_, b_, r_, t_;
};

// The hardware's extended type, reached through its bytes: 64-bit
// significand, then sign and biased exponent.
long double ToNative(const ExtendedFloat& x) {
  std::uint64_t significand = 0;
  std::uint16_t top = x.negative() ? 0x8000 : 0;
  switch (x.kind()) {
    case Kind::Zero:
      break;
    case Kind::Infinity:
      significand = kTop;
      top |= 0x7FFF;
      break;
    case Kind::NaN:
      significand = kTop | (kTop >> 1);
      top = 0x7FFF;
      break;
    case Kind::Finite:
      significand = x.significand();
      if ((significand & kTop) != 0) top |= static_cast<std::uint16_t>(x.exponent() + 16383);
      break;
  }
  unsigned char bytes[sizeof(long double)] = {};
  if constexpr (kNativeX87) {
    std::memcpy(bytes, &significand, 8);
    std::memcpy(bytes + 8, &top, 2);
  }
  long double value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

ExtendedFloat FromNative(long double value) {
  unsigned char bytes[sizeof(long double)];
  std::memcpy(bytes, &value, sizeof value);
  std::uint64_t significand = 0;
  std::uint16_t top = 0;
  if constexpr (kNativeX87) {
    std::memcpy(&significand, bytes, 8);
    std::memcpy(&top, bytes + 8, 2);
  }
  const bool negative = (top & 0x8000) != 0;
  const int biased = top & 0x7FFF;
  if (biased == 0x7FFF) {
    return ExtendedFloat::FromParts((significand << 1) == 0 ? Kind::Infinity : Kind::NaN, negative,
                                    0, 0);
  }
  if (significand == 0) return ExtendedFloat::FromParts(Kind::Zero, negative, 0, 0);
  return Finite(negative, biased == 0 ? kMinNormal : biased - 16383, significand);
}

ExtendedFloat Native(char op, const ExtendedFloat& a, const ExtendedFloat& b) {
  const long double x = ToNative(a);
  const long double y = ToNative(b);
  switch (op) {
    case '+':
      return FromNative(x + y);
    case '-':
      return FromNative(x - y);
    case '*':
      return FromNative(x * y);
    default:
      return FromNative(x / y);
  }
}

ExtendedFloat Apply(char op, const ExtendedFloat& a, const ExtendedFloat& b) {
  switch (op) {
    case '+':
      return a + b;
    case '-':
      return a - b;
    case '*':
      return a * b;
    default:
      return a / b;
  }
}

// ---- Operand makers ------------------------------------------------------

// A significand with `bits` significant bits (1..64), the rest zeros, so that
// sums and products of two of them are often exact ties.
std::uint64_t ShortSignificand(Rng& rng, int bits) {
  const std::uint64_t body = bits >= 64 ? rng() : (rng() & ((std::uint64_t{1} << bits) - 1));
  return (body | 1 | (std::uint64_t{1} << (bits - 1))) << (64 - bits);
}

// Significands that sit next to a rounding boundary: runs of ones or zeros
// at the bottom, all ones, exact powers of two, few bits.
std::uint64_t EdgySignificand(Rng& rng) {
  const int low = static_cast<int>(rng() % 64);
  const std::uint64_t mask = low == 0 ? 0 : (~std::uint64_t{0} >> (64 - low));
  switch (rng() % 6) {
    case 0:
      return kTop | rng() | mask;
    case 1:
      return kTop | (rng() & ~mask);
    case 2:
      return ~std::uint64_t{0} - (rng() % 4);
    case 3:
      return kTop + (rng() % 4);
    case 4:
      return ShortSignificand(rng, 1 + static_cast<int>(rng() % 64));
    default:
      return kTop | rng();
  }
}

int Between(Rng& rng, int low, int high) {
  return low + static_cast<int>(rng() % static_cast<std::uint64_t>(high - low + 1));
}

// Any finite value, subnormals and all, from a significand and an exponent
// that may lie below the normal range.
ExtendedFloat Value(Rng& rng, int exponent, std::uint64_t significand) {
  const bool negative = (rng() & 1) != 0;
  exponent = std::min(exponent, kMax);
  if (exponent < kMinNormal) {
    const int shift = kMinNormal - exponent;
    if (shift >= 64) return Finite(negative, kMinNormal, 1);
    significand >>= shift;
    if (significand == 0) significand = 1;
    exponent = kMinNormal;
  }
  return Finite(negative, exponent, significand);
}

using PairMaker = std::function<std::pair<ExtendedFloat, ExtendedFloat>(Rng&)>;

struct OperandGroup {
  const char* name;
  PairMaker make;
};

std::pair<ExtendedFloat, ExtendedFloat> Pair(ExtendedFloat a, ExtendedFloat b) { return {a, b}; }

const std::vector<OperandGroup>& OperandGroups() {
  static const std::vector<OperandGroup> groups = {
      {"random bit patterns over the whole range",
       [](Rng& r) {
         return Pair(Value(r, Between(r, kMinNormal - 64, kMax), kTop | r()),
                     Value(r, Between(r, kMinNormal - 64, kMax), kTop | r()));
       }},
      {"random significands, nearby exponents",
       [](Rng& r) {
         const int e = Between(r, -40, 40);
         return Pair(Value(r, e, kTop | r()), Value(r, e + Between(r, -70, 70), kTop | r()));
       }},
      {"short significands (exact ties)",
       [](Rng& r) {
         const int e = Between(r, -4, 4);
         return Pair(Value(r, e, ShortSignificand(r, Between(r, 1, 64))),
                     Value(r, e - Between(r, 0, 68), ShortSignificand(r, Between(r, 1, 64))));
       }},
      {"near ties and carries into the next binade",
       [](Rng& r) {
         const int e = Between(r, -4, 4);
         return Pair(Value(r, e, EdgySignificand(r)),
                     Value(r, e - Between(r, -2, 66), EdgySignificand(r)));
       }},
      {"cancellation",
       [](Rng& r) {
         const int e = Between(r, -100, 100);
         const std::uint64_t s = kTop | r();
         const std::uint64_t t =
             (r() & 1) != 0 ? s ^ (r() >> Between(r, 1, 63)) : s + (r() % 2048) - 1024;
         ExtendedFloat a = Value(r, e, s);
         ExtendedFloat b = Value(r, e - Between(r, 0, 1), t | kTop);
         return Pair(a, (a.negative() == b.negative()) == ((r() & 1) != 0) ? b : -b);
       }},
      {"huge exponents (overflow)",
       [](Rng& r) {
         const int e = Between(r, kMax - 70, kMax);
         return Pair(Value(r, e, EdgySignificand(r)),
                     Value(r, Between(r, -70, 70) + ((r() & 1) != 0 ? e : 0), EdgySignificand(r)));
       }},
      {"tiny results (gradual underflow)",
       [](Rng& r) {
         // Exponent pairs whose product or quotient lands at or below the
         // smallest normal, often with few significant bits.
         const int target = Between(r, kMinNormal - 70, kMinNormal + 2);
         const int ea = Between(r, target / 2 - 200, target / 2 + 200);
         const bool multiply = (r() & 1) != 0;
         const int eb = multiply ? target - ea : ea - target;
         const auto sig = [&r] { return (r() & 1) != 0 ? EdgySignificand(r) : kTop | r(); };
         return Pair(Value(r, ea, sig()), Value(r, eb, sig()));
       }},
      {"subnormal operands",
       [](Rng& r) {
         const ExtendedFloat a =
             Value(r, Between(r, kMinNormal - 66, kMinNormal), EdgySignificand(r));
         const ExtendedFloat b = (r() & 1) != 0
                                     ? Value(r, Between(r, kMinNormal - 66, kMinNormal), kTop | r())
                                     : Value(r, Between(r, -5, 100), EdgySignificand(r));
         return (r() & 1) != 0 ? Pair(a, b) : Pair(b, a);
       }},
  };
  return groups;
}

constexpr int kPairsPerGroup = 400000;

void CheckOperation(char op) {
  Reference reference;
  for (const OperandGroup& group : OperandGroups()) {
    Rng rng(0x5EED0000 + static_cast<unsigned>(op));
    int mismatches = 0;
    for (int i = 0; i < kPairsPerGroup; ++i) {
      const auto [a, b] = group.make(rng);
      const ExtendedFloat got = Apply(op, a, b);
      const ExtendedFloat mpfr = reference.Binary(op, a, b);
      const ExtendedFloat x87 = kNativeX87 ? Native(op, a, b) : mpfr;
      if (Same(got, mpfr) && Same(got, x87)) continue;
      if (mismatches++ == 0) {
        ADD_FAILURE() << group.name << ": " << Hex(a) << " " << op << " " << Hex(b) << " gave "
                      << Hex(got) << ", MPFR " << Hex(mpfr) << ", x87 " << Hex(x87);
      }
    }
    EXPECT_EQ(mismatches, 0) << group.name;
  }
}

TEST(ExtendedFloatArithmetic, AddsAsTheReferencesDoInEveryOperandGroup) { CheckOperation('+'); }
TEST(ExtendedFloatArithmetic, SubtractsAsTheReferencesDoInEveryOperandGroup) {
  CheckOperation('-');
}
TEST(ExtendedFloatArithmetic, MultipliesAsTheReferencesDoInEveryOperandGroup) {
  CheckOperation('*');
}
TEST(ExtendedFloatArithmetic, DividesAsTheReferencesDoInEveryOperandGroup) { CheckOperation('/'); }

TEST(ExtendedFloatArithmetic, FollowsTheRulesForZerosInfinitiesAndNaN) {
  const auto zero = [](bool n) { return ExtendedFloat::FromParts(Kind::Zero, n, 0, 0); };
  const auto inf = [](bool n) { return ExtendedFloat::FromParts(Kind::Infinity, n, 0, 0); };
  const std::vector<ExtendedFloat> specials = {zero(false),
                                               zero(true),
                                               inf(false),
                                               inf(true),
                                               ExtendedFloat::FromParts(Kind::NaN, false, 0, 0),
                                               Finite(false, 0, kTop),
                                               Finite(true, 0, kTop),
                                               Finite(false, kMinNormal, 1),
                                               Finite(true, kMinNormal, 1),
                                               Finite(false, kMax, ~std::uint64_t{0}),
                                               Finite(true, kMax, ~std::uint64_t{0}),
                                               Finite(false, kMinNormal, kTop),
                                               Finite(false, kMinNormal, kTop - 1)};
  Reference reference;
  for (char op : {'+', '-', '*', '/'}) {
    for (const ExtendedFloat& a : specials) {
      for (const ExtendedFloat& b : specials) {
        const ExtendedFloat got = Apply(op, a, b);
        EXPECT_TRUE(Same(got, reference.Binary(op, a, b)))
            << Hex(a) << " " << op << " " << Hex(b) << " gave " << Hex(got);
        if (kNativeX87) {
          EXPECT_TRUE(Same(got, Native(op, a, b)))
              << Hex(a) << " " << op << " " << Hex(b) << " gave " << Hex(got);
        }
      }
    }
  }
  // The cases the filter relies on, spelled out.
  const ExtendedFloat one = ExtendedFloat::FromInt64(1);
  EXPECT_TRUE(Same(one + -one, zero(false)));
  EXPECT_TRUE(Same(zero(true) + zero(true), zero(true)));
  EXPECT_TRUE(Same(zero(true) * one, zero(true)));
  EXPECT_EQ((inf(false) - inf(false)).kind(), Kind::NaN);
  EXPECT_EQ((zero(false) * inf(true)).kind(), Kind::NaN);
  EXPECT_TRUE(Same(-one / zero(false), inf(true)));
}

// ---- Conversions ---------------------------------------------------------

constexpr int kConversions = 500000;

TEST(ExtendedFloatConversion, RoundsToDoubleOnceEvenInTheSubnormalRange) {
  Reference reference;
  Rng rng(11);
  int mismatches = 0;
  for (int i = 0; i < kConversions; ++i) {
    // Exponents from beyond the double's overflow down past its smallest
    // subnormal; significands with 54 bits give exact ties.
    const int e = Between(rng, -1100, 1030);
    const std::uint64_t s =
        (rng() & 1) != 0 ? EdgySignificand(rng) : ShortSignificand(rng, Between(rng, 50, 56));
    const ExtendedFloat x = Value(rng, e, s);
    const double got = x.ToDouble();
    const double mpfr = reference.ToDouble(x);
    const double x87 = kNativeX87 ? static_cast<double>(ToNative(x)) : mpfr;
    const auto bits = std::bit_cast<std::uint64_t>(got);
    if (bits == std::bit_cast<std::uint64_t>(mpfr) && bits == std::bit_cast<std::uint64_t>(x87))
      continue;
    if (mismatches++ == 0) {
      ADD_FAILURE() << Hex(x) << " gave " << std::hexfloat << got << ", MPFR " << mpfr << ", x87 "
                    << x87;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_TRUE(std::isnan(ExtendedFloat::FromParts(Kind::NaN, false, 0, 0).ToDouble()));
  EXPECT_EQ(ExtendedFloat::FromParts(Kind::Infinity, true, 0, 0).ToDouble(), -HUGE_VAL);
  EXPECT_TRUE(std::signbit(ExtendedFloat::FromParts(Kind::Zero, true, 0, 0).ToDouble()));
}

TEST(ExtendedFloatConversion, TakesEveryDoubleExactlyAndGivesItBack) {
  Reference reference;
  Rng rng(12);
  for (int i = 0; i < kConversions; ++i) {
    std::uint64_t bits = rng();
    if (i % 4 == 1) bits &= 0x800FFFFFFFFFFFFF;  // subnormal doubles
    if (i % 4 == 2) bits = (bits & 0x800FFFFFFFFFFFFF) | (std::uint64_t{0x7FE + (rng() % 2)} << 52);
    const double d = std::bit_cast<double>(bits);
    const ExtendedFloat x = ExtendedFloat::FromDouble(d);
    ASSERT_TRUE(Same(x, reference.OfDouble(d))) << std::hexfloat << d << " gave " << Hex(x);
    if (!std::isnan(d)) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(x.ToDouble()), bits) << std::hexfloat << d;
    }
  }
}

TEST(ExtendedFloatConversion, TakesEverySixtyFourBitIntegerExactly) {
  Reference reference;
  Rng rng(13);
  std::vector<std::uint64_t> values = {
      0, 1, 2, 3, kTop - 1, kTop, kTop + 1, ~std::uint64_t{0}, ~std::uint64_t{0} - 1};
  for (int i = 0; i < kConversions; ++i) values.push_back(rng() >> (rng() % 64));
  for (std::uint64_t v : values) {
    const auto s = static_cast<std::int64_t>(v);
    ASSERT_TRUE(Same(ExtendedFloat::FromInt64(s), reference.Integer(s))) << s;
    const ExtendedFloat u = ExtendedFloat::FromUint64(v);
    ASSERT_TRUE(Same(u, reference.Scaled(false, v, 0))) << v;
    if (kNativeX87) {
      ASSERT_TRUE(Same(ExtendedFloat::FromInt64(s), FromNative(static_cast<long double>(s)))) << s;
      ASSERT_TRUE(Same(u, FromNative(static_cast<long double>(v)))) << v;
    }
  }
}

TEST(ExtendedFloatConversion, ScalesWithOneRoundingAcrossTheWholeRange) {
  Reference reference;
  Rng rng(14);
  int mismatches = 0;
  for (int i = 0; i < kConversions; ++i) {
    const bool negative = (rng() & 1) != 0;
    const std::uint64_t s =
        (rng() & 1) != 0 ? rng() >> (rng() % 64) : EdgySignificand(rng) >> (rng() % 64);
    std::int64_t e = Between(rng, kMinNormal - 140, kMinNormal + 10);
    if (i % 3 == 1) e = Between(rng, kMax - 70, kMax + 10);
    if (i % 3 == 2)
      e = (rng() & 1) != 0 ? static_cast<std::int64_t>(rng()) : Between(rng, -100, 100);
    if (i % 1000 == 0)
      e = (i / 1000) % 2 == 0 ? INT64_MAX - (rng() % 100) : INT64_MIN + (rng() % 100);
    const ExtendedFloat got = ExtendedFloat::FromScaled(negative, s, e);
    const ExtendedFloat mpfr = reference.Scaled(negative, s, e);
    if (Same(got, mpfr)) continue;
    if (mismatches++ == 0) {
      ADD_FAILURE() << (negative ? "-" : "+") << "0x" << std::hex << s << std::dec << "*2^" << e
                    << " gave " << Hex(got) << ", MPFR " << Hex(mpfr);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(ExtendedFloatConversion, RoundsToIntegersHalfToEvenAndFlagsOutOfRange) {
  Reference reference;
  Rng rng(15);
  int mismatches = 0;
  for (int i = 0; i < kConversions; ++i) {
    const int e = Between(rng, -3, 65);
    const std::uint64_t s = (rng() & 1) != 0
                                ? EdgySignificand(rng)
                                : ShortSignificand(rng, Between(rng, 1, std::clamp(e + 3, 1, 64)));
    const ExtendedFloat x = Value(rng, e, s);
    const std::int64_t got = x.RoundToInt64();
    const std::int64_t mpfr = reference.RoundToInt64(x);
    const std::int64_t x87 = kNativeX87 ? std::llrint(ToNative(x)) : mpfr;
    if (got == mpfr && got == x87) continue;
    if (mismatches++ == 0)
      ADD_FAILURE() << Hex(x) << " gave " << got << ", MPFR " << mpfr << ", x87 " << x87;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(ExtendedFloat::FromDouble(2.5).RoundToInt64(), 2);
  EXPECT_EQ(ExtendedFloat::FromDouble(-3.5).RoundToInt64(), -4);
  EXPECT_EQ(ExtendedFloat::FromDouble(-0x1p63).RoundToInt64(), INT64_MIN);
  EXPECT_EQ(ExtendedFloat::FromDouble(0x1p63).RoundToInt64(), INT64_MIN);
  EXPECT_EQ(ExtendedFloat::FromParts(Kind::NaN, false, 0, 0).RoundToInt64(), INT64_MIN);
  EXPECT_EQ(ExtendedFloat::FromParts(Kind::Infinity, false, 0, 0).RoundToInt64(), INT64_MIN);
}

}  // namespace
}  // namespace quenlow
