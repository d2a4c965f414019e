// The coefficient reader's decimal conversion worked out a second time, apart
// from the program's code: digits cut with plain string handling, arithmetic
// by GNU MPFR set to the x87's 64-bit significand and exponent range, or by
// the x87's own long double where the compiler has it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quenlow::testing {

// A decimal number cut to its first 18 significant digits: magnitude
// digits * 10^exponent.
struct CutDecimal {
  bool negative = false;
  std::uint64_t digits = 0;
  std::int64_t exponent = 0;
};

// For well-formed text only: blanks, sign, digits with one point, and an
// exponent part of letter, sign and digits.
CutDecimal CutDecimalText(const std::string& text);

// digits * 10^exponent (or digits / 10^-exponent), each step rounded to a
// 64-bit significand, then rounded to double.
double MpfrScaledDecimal(const CutDecimal& number);

// The same with long double; nothing where long double is not the x87 format.
std::optional<double> LongDoubleScaledDecimal(const CutDecimal& number);

}  // namespace quenlow::testing
