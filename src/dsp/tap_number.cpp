#include "dsp/tap_number.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "dsp/extended_float.h"

namespace quenlow {
namespace {

constexpr int kKeptDigits = 18;
constexpr std::int64_t kExponentCap = 9999;

// 10^5000 already overflows the extended range and 10^-5000 times any kept
// mantissa rounds to zero, so a decimal exponent beyond it changes nothing but
// the number of factors multiplied: it is clamped to keep the loop short.
constexpr std::int64_t kDecimalExponentLimit = 5000;

constexpr std::array<std::uint64_t, 8> kSmallPowers = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

struct ScaledPower {
  std::uint64_t significand;
  std::int64_t binary_exponent;
};

// 10^(8 * 2^k) rounded to nearest, ties to even, to a 64-bit significand:
// value = significand * 2^binary_exponent. The first two are exact.
constexpr std::array<ScaledPower, 10> kLargePowers = {{
    {0xBEBC200000000000, -37},    // 10^8
    {0x8E1BC9BF04000000, -10},    // 10^16
    {0x9DC5ADA82B70B59E, 43},     // 10^32
    {0xC2781F49FFCFA6D5, 149},    // 10^64
    {0x93BA47C980E98CE0, 362},    // 10^128
    {0xAA7EEBFB9DF9DE8E, 787},    // 10^256
    {0xE319A0AEA60E91C7, 1637},   // 10^512
    {0xC976758681750C17, 3338},   // 10^1024
    {0x9E8B3B5DC53D5DE5, 6740},   // 10^2048
    {0xC46052028A20979B, 13543},  // 10^4096
}};

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

int RadixDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
  }
  return sum;
}

// 10^n for 0 <= n <= kDecimalExponentLimit: the exact 10^(n mod 8), then the
// factors picked by the bits of n div 8 in ascending order, each product
// rounded to the extended format.
ExtendedFloat PowerOfTen(std::int64_t n) {
  ExtendedFloat power = ExtendedFloat::FromUint64(kSmallPowers[static_cast<std::size_t>(n % 8)]);
  std::int64_t selector = n / 8;
  for (const ScaledPower& factor : kLargePowers) {
    if (selector & 1) {
      power = power * ExtendedFloat::FromScaled(false, factor.significand, factor.binary_exponent);
    }
    selector >>= 1;
  }
  return power;
}

}  // namespace

void TapNumberScanner::Feed(char c) {
  switch (state_) {
    case State::Leading: FeedLeading(c); return;
    case State::Ampersand:
      if (c == 'H' || c == 'h') radix_bits_ = 4;
      else if (c == 'O' || c == 'o') radix_bits_ = 3;
      else if (c == 'B' || c == 'b') radix_bits_ = 1;
      state_ = radix_bits_ != 0 ? State::RadixDigits : State::Done;
      return;
    case State::RadixDigits: FeedRadixDigit(c); return;
    case State::Mantissa: FeedMantissa(c); return;
    case State::ExponentSign:
    case State::ExponentDigits: FeedExponent(c); return;
    case State::Done: return;
  }
}

void TapNumberScanner::FeedLeading(char c) {
  if (c == ' ' || c == '\t' || c == '\n') return;
  if (c == '&') {
    state_ = State::Ampersand;
    return;
  }
  state_ = State::Mantissa;
  if (c == '+' || c == '-') {
    negative_ = c == '-';
    return;
  }
  FeedMantissa(c);
}

void TapNumberScanner::FeedMantissa(char c) {
  if (IsDecimalDigit(c)) {
    saw_digit_ = true;
    const int digit = c - '0';
    if (significant_digits_ == 0 && digit == 0) {
      if (after_point_) point_exponent_ = SaturatingAdd(point_exponent_, -1);
    } else if (significant_digits_ < kKeptDigits) {
      digits_ = digits_ * 10 + static_cast<std::uint64_t>(digit);
      ++significant_digits_;
      if (after_point_) point_exponent_ = SaturatingAdd(point_exponent_, -1);
    } else if (!after_point_) {
      // A dropped digit before the point still moves the point one place.
      point_exponent_ = SaturatingAdd(point_exponent_, 1);
    }
    return;
  }
  if (c == '.' && !after_point_) {
    after_point_ = true;
    return;
  }
  if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
    state_ = State::ExponentSign;
    return;
  }
  state_ = State::Done;
}

void TapNumberScanner::FeedExponent(char c) {
  if (state_ == State::ExponentSign && (c == '+' || c == '-')) {
    exponent_negative_ = c == '-';
    state_ = State::ExponentDigits;
    return;
  }
  if (!IsDecimalDigit(c)) {
    state_ = State::Done;
    return;
  }
  state_ = State::ExponentDigits;
  // Growth stops past the cap, so no count of digits can overflow it.
  if (written_exponent_ <= kExponentCap) written_exponent_ = written_exponent_ * 10 + (c - '0');
}

void TapNumberScanner::FeedRadixDigit(char c) {
  const int digit = RadixDigitValue(c);
  if (digit >= (1 << radix_bits_)) {
    state_ = State::Done;
    return;
  }
  saw_digit_ = true;
  for (int bit = radix_bits_ - 1; bit >= 0; --bit) {
    const bool one = ((digit >> bit) & 1) != 0;
    if (radix_length_ == 0 && !one) continue;  // leading zero
    if (radix_length_ < 64) {
      radix_top_ = (radix_top_ << 1) | (one ? 1 : 0);
    } else {
      radix_sticky_ = radix_sticky_ || one;
    }
    radix_length_ = SaturatingAdd(radix_length_, 1);
  }
}

double TapNumberScanner::Value() const {
  // A written zero is +0, whatever its sign; only a nonzero number too small
  // for a double keeps its sign as it rounds to zero.
  const bool written_zero = radix_bits_ != 0 ? radix_length_ == 0 : digits_ == 0;
  if (!saw_digit_ || written_zero) return 0.0;
  const double magnitude = radix_bits_ != 0 ? RadixValue() : DecimalValue();
  return negative_ ? -magnitude : magnitude;
}

double TapNumberScanner::RadixValue() const {
  if (radix_length_ <= 64) return static_cast<double>(radix_top_);
  // The bits below the leading 64 only matter as a tie-breaker, and bit 0 lies
  // well below the double's rounding point, so they are folded into it.
  const std::int64_t shift = radix_length_ - 64;
  if (shift > std::numeric_limits<double>::max_exponent) return std::numeric_limits<double>::infinity();
  const double top = static_cast<double>(radix_top_ | (radix_sticky_ ? 1 : 0));
  return std::ldexp(top, static_cast<int>(shift));
}

double TapNumberScanner::DecimalValue() const {
  const std::int64_t written = std::min(written_exponent_, kExponentCap);
  const std::int64_t exponent = std::clamp(
      SaturatingAdd(point_exponent_, exponent_negative_ ? -written : written),
      -kDecimalExponentLimit, kDecimalExponentLimit);
  const ExtendedFloat mantissa = ExtendedFloat::FromUint64(digits_);
  const ExtendedFloat power = PowerOfTen(exponent < 0 ? -exponent : exponent);
  const ExtendedFloat value = exponent < 0 ? mantissa / power : mantissa * power;
  return value.ToDouble();
}

}  // namespace quenlow
