// The number reader behind each coefficient field, fed one character at a
// time so that a field of any length is converted while it is scanned, in
// constant memory.
#pragma once

#include <cstdint>

namespace quenlow {

class TapNumberScanner {
 public:
  // Takes the next character of the field. Characters after the number's end
  // are accepted and ignored.
  void Feed(char c);

  // The value of the characters fed so far.
  double Value() const;

  // Whether the number has ended, so that further characters are ignored.
  bool Ended() const { return state_ == State::Done; }

  // Whether a digit was read: without one the value is 0 for want of a number.
  bool HoldsNumber() const { return saw_digit_; }

 private:
  enum class State : std::uint8_t {
    Leading,       // before anything but blanks
    Ampersand,     // "&" seen, radix letter expected
    RadixDigits,   // digits of a hexadecimal, octal or binary integer
    Mantissa,      // sign, digits and the decimal point
    ExponentSign,  // exponent letter seen
    ExponentDigits,
    Done,
  };

  void FeedLeading(char c);
  void FeedMantissa(char c);
  void FeedExponent(char c);
  void FeedRadixDigit(char c);
  double RadixValue() const;
  double DecimalValue() const;

  State state_ = State::Leading;
  bool negative_ = false;
  bool saw_digit_ = false;
  bool after_point_ = false;

  // Decimal: the first 18 significant digits as an integer, and the power of
  // ten that the point's place and the dropped digits add.
  std::uint64_t digits_ = 0;
  int significant_digits_ = 0;
  std::int64_t point_exponent_ = 0;
  bool exponent_negative_ = false;
  std::int64_t written_exponent_ = 0;

  // Radix integers: the leading 64 bits, whether any 1 bit fell below them,
  // and how many bits the integer has in all.
  int radix_bits_ = 0;  // bits per digit: 4, 3 or 1
  std::uint64_t radix_top_ = 0;
  bool radix_sticky_ = false;
  std::int64_t radix_length_ = 0;
};

}  // namespace quenlow
