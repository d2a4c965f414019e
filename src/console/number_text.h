// The text form of every number the dialogue shows.
#pragma once

#include <string>

namespace quenlow::console {

// The value rounded to `significantDigits` significant digits, where only the
// first dropped digit decides (above 5 up, below 5 down, 5 to the even
// neighbour). A sign position ("-" or a blank) comes first and a blank last;
// trailing zeros of the fraction, and the point when no fraction is left, are
// dropped, and a value below 1 has no zero before the point. A value whose
// decimal exponent is below -4 or reaches the digit count is written as
// mantissa, "E" and a signed exponent, as in " 1.5E+20 ".
std::string FormatNumber(double value, int significantDigits);

// The value rounded to `places` decimal places, ties to even: the product
// with the power of ten is formed and rounded with a 64-bit significand.
// Places above 18 count as 18, below 0 as 0.
double RoundToPlaces(double value, int places);

}  // namespace quenlow::console
