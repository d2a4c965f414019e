#include "console/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dsp/extended_float.h"

namespace quenlow::console {
namespace {

// A double has at most 767 significant decimal digits; with this many the C
// library writes its exact decimal expansion.
constexpr int kExactDigits = 780;

struct Decimal {
  std::string digits;  // significant digits, the first non-zero
  int exponent = 0;    // value = 0.d1d2d3... * 10^(exponent + 1)
};

// The exact decimal digits of a finite, non-zero magnitude.
Decimal ExactDigits(double magnitude) {
  std::string text(kExactDigits + 16, '\0');
  const int length = std::snprintf(text.data(), text.size(), "%.*e", kExactDigits, magnitude);
  text.resize(length);
  const std::size_t e = text.find('e');
  Decimal d;
  d.exponent = std::atoi(text.c_str() + e + 1);
  d.digits.push_back(text[0]);
  d.digits.append(text, 2, e - 2);
  return d;
}

// Keeps `count` digits; only the first dropped digit decides.
void RoundDigits(Decimal& d, int count) {
  if (static_cast<int>(d.digits.size()) <= count) return;
  const char first = d.digits[count];
  d.digits.resize(count);
  const bool up = first > '5' || (first == '5' && (d.digits.back() - '0') % 2 == 1);
  if (!up) return;
  int i = count - 1;
  while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
  if (i >= 0) {
    ++d.digits[i];
  } else {
    d.digits.insert(d.digits.begin(), '1');
    d.digits.pop_back();
    ++d.exponent;
  }
}

std::string PlainForm(const std::string& digits, int exponent) {
  std::string out;
  if (exponent < 0) {
    out = "." + std::string(-exponent - 1, '0') + digits;
    return out;
  }
  const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= integerDigits) return digits + std::string(integerDigits - digits.size(), '0');
  return digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
}

std::string ExponentForm(const std::string& digits, int exponent) {
  std::string out = digits.substr(0, 1);
  if (digits.size() > 1) out += "." + digits.substr(1);
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%+03d", exponent);
  return out + tail;
}

}  // namespace

std::string FormatNumber(double value, int significantDigits) {
  const int digitCount = significantDigits < 1 ? 1 : significantDigits;
  const std::string sign = std::signbit(value) && value != 0 ? "-" : " ";
  if (std::isnan(value)) return " NaN ";
  if (std::isinf(value)) return sign + "Inf ";
  if (value == 0) return " 0 ";

  Decimal d = ExactDigits(std::fabs(value));
  RoundDigits(d, digitCount);
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  const bool plain = d.exponent >= -4 && d.exponent < digitCount;
  return sign + (plain ? PlainForm(d.digits, d.exponent) : ExponentForm(d.digits, d.exponent)) + " ";
}

double RoundToPlaces(double value, int places) {
  if (!std::isfinite(value)) return value;
  const int p = places < 0 ? 0 : (places > 18 ? 18 : places);
  std::int64_t power = 1;
  for (int i = 0; i < p; ++i) power *= 10;
  const ExtendedFloat scale = ExtendedFloat::FromInt64(power);
  const ExtendedFloat product = ExtendedFloat::FromDouble(value) * scale;
  const std::int64_t whole = product.RoundToInt64();
  // A product beyond the 64-bit range belongs to a value with no digits at
  // these places left to round.
  if (whole == INT64_MIN) return value;
  return (ExtendedFloat::FromInt64(whole) / scale).ToDouble();
}

}  // namespace quenlow::console
