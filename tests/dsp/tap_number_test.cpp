#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <mpfr.h>

#include "dsp/filter_taps.h"
#include "tap_oracle.h"

namespace quenlow {
namespace {

using testing::CutDecimal;
using testing::CutDecimalText;
using testing::LongDoubleScaledDecimal;
using testing::MpfrScaledDecimal;

// Bit for bit, so that the sign of a zero and an infinity's sign count.
::testing::AssertionResult SameBits(const std::string& text, double expected) {
  const double got = ConvertTapField(text);
  if (std::bit_cast<std::uint64_t>(got) == std::bit_cast<std::uint64_t>(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "\"" << text << "\" gave " << std::hexfloat << got
                                       << " where " << expected << " was expected";
}

TEST(TapNumber, ReadsEveryExponentLetterWithOrWithoutLeadingBlanks) {
  const double expected = MpfrScaledDecimal({false, 15, -4});
  EXPECT_EQ(expected, 0.0015);
  for (const char* text : {"1.5E-3", "1.5e-3", "1.5D-3", "1.5d-3", "   1.5E-3", " \t\n 1.5d-3",
                           "+1.5e-03", "15e-4", "0.0015", ".0015E+0"}) {
    EXPECT_TRUE(SameBits(text, expected));
  }
}

TEST(TapNumber, StopsAtTheFirstCharacterThatDoesNotFit) {
  EXPECT_TRUE(SameBits("-.5", -0.5));
  EXPECT_TRUE(SameBits("1.2.3", MpfrScaledDecimal({false, 12, -1})));
  EXPECT_TRUE(SameBits("2x3", 2.0));
  EXPECT_TRUE(SameBits("4 5", 4.0));
  EXPECT_TRUE(SameBits("6\n7", 6.0));
  EXPECT_TRUE(SameBits("1e", 1.0));
  EXPECT_TRUE(SameBits("1e+", 1.0));
  EXPECT_TRUE(SameBits("3E2E1", 300.0));
  EXPECT_TRUE(SameBits("5.e1", 50.0));
}

TEST(TapNumber, TextWithoutADigitIsZero) {
  for (const char* text : {"", "abc", "-", "+", ".", "-.", "e5", "-E5", "--7", "+-7", "- 7", "\"1"}) {
    EXPECT_TRUE(SameBits(text, 0.0));
  }
}

TEST(TapNumber, KeepsEighteenSignificantDigitsAndDropsTheRest) {
  // Cut, not rounded: the 19th digit and beyond never raise the value.
  EXPECT_TRUE(SameBits("12345678901234567899", ConvertTapField("12345678901234567800")));
  EXPECT_TRUE(SameBits("0.000123456789012345678999", ConvertTapField("0.000123456789012345678")));
  EXPECT_TRUE(SameBits("99999999999999999999e-2", MpfrScaledDecimal({false, 999999999999999999, 0})));
  // Leading zeros are not significant.
  EXPECT_TRUE(SameBits("000000000000000000001.5", 1.5));
}

TEST(TapNumber, ExponentAboveTheCapCountsAsTheCap) {
  const std::string small_fraction = "0." + std::string(10005, '0') + "1";  // 1e-10006
  EXPECT_TRUE(SameBits(small_fraction + "E99999999999999999999999", ConvertTapField("1E-7")));
  EXPECT_TRUE(SameBits("1" + std::string(10005, '0') + "d-10000", ConvertTapField("1E6")));
  EXPECT_TRUE(SameBits("1E-00000000000000000000000000009", ConvertTapField("1E-9")));
}

TEST(TapNumber, MagnitudesBeyondTheDoubleRangeGiveInfinityOrTheRoundedTinyValue) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(SameBits("1e309", kInfinity));
  EXPECT_TRUE(SameBits("-1E9999", -kInfinity));
  EXPECT_TRUE(SameBits("1.79769313486231570e308", std::numeric_limits<double>::max()));
  EXPECT_TRUE(SameBits("4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()));
  EXPECT_TRUE(SameBits("2e-324", 0.0));
  EXPECT_TRUE(SameBits("-1e-9999", -0.0));
  const double subnormal = MpfrScaledDecimal({false, 123456789, -318});
  EXPECT_LT(subnormal, std::numeric_limits<double>::min());
  EXPECT_TRUE(SameBits("1.23456789e-310", subnormal));
  // A written zero is +0 whatever its sign and power of ten.
  EXPECT_TRUE(SameBits("0e9999", 0.0));
  EXPECT_TRUE(SameBits("-0.000e-9999", 0.0));
  EXPECT_TRUE(SameBits("&H000", 0.0));
}

TEST(TapNumber, RadixPrefixesReadIntegers) {
  EXPECT_TRUE(SameBits("&H1F", 31));
  EXPECT_TRUE(SameBits("  &hfF,", 255));
  EXPECT_TRUE(SameBits("&O17", 15));
  EXPECT_TRUE(SameBits("&o78", 7));
  EXPECT_TRUE(SameBits("&B101", 5));
  EXPECT_TRUE(SameBits("&b1012", 5));
  EXPECT_TRUE(SameBits("&H0000000000000000000000000000000000002", 2));
  for (const char* text : {"&", "&H", "&X1", "&O9", "-&H10", "& H1"}) EXPECT_TRUE(SameBits(text, 0.0));
}

TEST(TapNumber, LongRadixIntegersRoundToNearestEven) {
  EXPECT_TRUE(SameBits("&HFFFFFFFFFFFFFFFF", 0x1p64));
  EXPECT_TRUE(SameBits("&H20000000000001", 0x1p53));            // a tie goes to even
  EXPECT_TRUE(SameBits("&H20000000000003", 0x1p53 + 4));        // likewise, upwards
  // A 1 far below the leading 64 bits breaks the tie upwards.
  EXPECT_TRUE(SameBits("&H20000000000001" "00000000000000", 0x1p109));
  EXPECT_TRUE(SameBits("&H20000000000001" "00000000000001", 0x1p109 + 0x1p57));
  EXPECT_TRUE(SameBits("&B1" + std::string(1023, '0'), 0x1p1023));
  EXPECT_TRUE(SameBits("&B1" + std::string(1024, '0'), std::numeric_limits<double>::infinity()));
  EXPECT_TRUE(SameBits("&H1" + std::string(3'000'000, '0'), std::numeric_limits<double>::infinity()));
}

TEST(TapNumber, SeventeenDigitsReadEveryDoubleBackExactly) {
  std::mt19937_64 random(17);
  for (int i = 0; i < 200'000; ++i) {
    const double value = std::ldexp(std::uniform_real_distribution<double>(0.5, 1.0)(random),
                                    static_cast<int>(random() % 120) - 100);
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    ASSERT_TRUE(SameBits(text, value));
  }
}

// Decimal text of up to 25 digits, a point anywhere or nowhere, and exponents
// from the everyday to beyond the cap.
std::string RandomDecimalText(std::mt19937_64& random) {
  std::string text;
  if (random() % 4 == 0) text += std::string(1 + random() % 3, " \t\n"[random() % 3]);
  if (random() % 3 != 0) text += random() % 2 ? '-' : '+';
  const std::size_t digit_count = 1 + random() % 25;
  const std::size_t leading_zeros = random() % 4 == 0 ? random() % digit_count : 0;
  std::string digits;
  for (std::size_t k = 0; k < digit_count; ++k) {
    digits += k < leading_zeros ? '0' : static_cast<char>('0' + random() % 10);
  }
  if (random() % 4 != 0) digits.insert(random() % (digits.size() + 1), ".");
  text += digits;
  if (random() % 5 == 0) return text;
  text += "EeDd"[random() % 4];
  if (random() % 3 != 0) text += random() % 2 ? '-' : '+';
  if (random() % 8 == 0) text += "00";
  const std::uint64_t ranges[] = {30, 30, 330, 400, 5000, 12000};
  text += std::to_string(random() % (ranges[random() % std::size(ranges)] + 1));
  return text;
}

TEST(TapNumberOracle, RandomDecimalsMatchMpfr) {
  std::mt19937_64 random(42);
  for (int i = 0; i < 400'000; ++i) {
    const std::string text = RandomDecimalText(random);
    ASSERT_TRUE(SameBits(text, MpfrScaledDecimal(CutDecimalText(text))));
  }
}

TEST(TapNumberOracle, RandomDecimalsMatchX87LongDouble) {
  if (!LongDoubleScaledDecimal({}).has_value()) GTEST_SKIP() << "long double is not the x87 format";
  std::mt19937_64 random(43);
  for (int i = 0; i < 400'000; ++i) {
    const std::string text = RandomDecimalText(random);
    ASSERT_TRUE(SameBits(text, *LongDoubleScaledDecimal(CutDecimalText(text))));
  }
}

TEST(TapNumberOracle, EveryPowerOfTenMatchesMpfr) {
  for (std::int64_t exponent = -5100; exponent <= 5100; ++exponent) {
    for (const CutDecimal& number : {CutDecimal{false, 1, exponent},
                                     CutDecimal{true, 999999999999999999, exponent - 17}}) {
      const std::string text = std::string(number.negative ? "-" : "") +
                               std::to_string(number.digits) + "e" + std::to_string(number.exponent);
      ASSERT_TRUE(SameBits(text, MpfrScaledDecimal(number)));
    }
  }
}

// The midpoint between two neighbouring doubles, written with 17 to 25
// digits: where rounding twice, first to 64 bits and then to 53, can differ
// from rounding once.
TEST(TapNumberOracle, DecimalsNearHalfwayBetweenDoublesMatchMpfr) {
  std::mt19937_64 random(44);
  mpfr_t midpoint;
  mpfr_init2(midpoint, 64);
  for (int i = 0; i < 100'000; ++i) {
    const auto bits = (random() >> 12) | (static_cast<std::uint64_t>(random() % 2047) << 52);
    const double below = std::bit_cast<double>(bits);
    if (below == std::numeric_limits<double>::max()) continue;
    // Exact in 64 bits: the sum of neighbours needs 54 at most.
    mpfr_set_d(midpoint, below, MPFR_RNDN);
    mpfr_add_d(midpoint, midpoint, std::nextafter(below, INFINITY), MPFR_RNDN);
    mpfr_div_2ui(midpoint, midpoint, 1, MPFR_RNDN);
    const auto digits = static_cast<std::size_t>(17 + random() % 9);
    const mpfr_rnd_t direction = random() % 2 ? MPFR_RNDZ : MPFR_RNDN;
    mpfr_exp_t exponent = 0;
    char* written = mpfr_get_str(nullptr, &exponent, 10, digits, midpoint, direction);
    const std::string text = std::string("0.") + written + "e" + std::to_string(exponent);
    mpfr_free_str(written);
    ASSERT_TRUE(SameBits(text, MpfrScaledDecimal(CutDecimalText(text))));
  }
  mpfr_clear(midpoint);
}

}  // namespace
}  // namespace quenlow
