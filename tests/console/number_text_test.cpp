#include "console/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quenlow::console {
namespace {

struct NumberCase {
  double value;
  int digits;
  const char* text;
};

TEST(FormatNumber, WritesTheFiguresOfTheDialogue) {
  const NumberCase cases[] = {
      {2, 7, " 2 "},           {44100, 15, " 44100 "},   {48000, 15, " 48000 "},
      {0, 15, " 0 "},          {0.5, 15, " .5 "},        {27.99, 15, " 27.99 "},
      {10.0, 15, " 10 "},      {-5.2, 15, "-5.2 "},      {441000, 15, " 441000 "},
      {9.19, 15, " 9.19 "},    {0.3, 15, " .3 "},        {12.3, 15, " 12.3 "},
      {2147483647, 15, " 2147483647 "},                  {-0.0, 15, " 0 "},
  };
  for (const NumberCase& c : cases) EXPECT_EQ(FormatNumber(c.value, c.digits), c.text) << c.value;
}

TEST(FormatNumber, LetsOnlyTheFirstDroppedDigitDecide) {
  const NumberCase cases[] = {
      {1234567.5, 7, " 1234568 "},  // 5 after an odd digit: up
      {1234568.5, 7, " 1234568 "},  // 5 after an even digit: stays
      {1234562.5000001, 7, " 1234562 "},  // what follows the 5 does not count
      {1234567.6, 7, " 1234568 "},  {1234567.4, 7, " 1234567 "},
      {9999999.5, 7, " 1E+07 "},    // the carry runs through every digit
      {0.1, 15, " .1 "},            // the binary value's tail is dropped
      {2.0 / 3.0, 15, " .666666666666667 "},
      {-2.0 / 3.0, 7, "-.6666667 "},
  };
  for (const NumberCase& c : cases) EXPECT_EQ(FormatNumber(c.value, c.digits), c.text) << c.value;
}

TEST(FormatNumber, UsesExponentFormWhereDigitsRunOut) {
  EXPECT_EQ(FormatNumber(1.5e20, 15), " 1.5E+20 ");
  EXPECT_EQ(FormatNumber(123456789, 7), " 1.234568E+08 ");
  EXPECT_EQ(FormatNumber(0.0001, 15), " .0001 ");
  EXPECT_EQ(FormatNumber(0.00001, 15), " 1E-05 ");
  EXPECT_EQ(FormatNumber(-1e-300, 15), "-1E-300 ");
  EXPECT_EQ(FormatNumber(std::nan(""), 15), " NaN ");
  EXPECT_EQ(FormatNumber(-INFINITY, 15), "-Inf ");
}

TEST(RoundToPlaces, RoundsTiesToEven) {
  EXPECT_EQ(FormatNumber(RoundToPlaces(0.125, 2), 15), " .12 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(0.375, 2), 15), " .38 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(9.1875, 2), 15), " 9.19 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(10.0, 2), 15), " 10 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(0.5, 2), 15), " .5 ");
  EXPECT_EQ(RoundToPlaces(-2.5, 0), -2.0);
  EXPECT_EQ(RoundToPlaces(3.5, 0), 4.0);
}

TEST(RoundToPlaces, ShowsElapsedTimesToOnePlace) {
  EXPECT_EQ(FormatNumber(RoundToPlaces(12.34, 1), 15), " 12.3 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(0.26, 1), 15), " .3 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(7.0, 1), 15), " 7 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(0.049, 1), 15), " 0 ");
  EXPECT_EQ(FormatNumber(RoundToPlaces(0.05, 1), 15), " .1 ");  // 0.05 is a little above its name
}

TEST(RoundToPlaces, FormsTheProductWithA64BitSignificand) {
  // Each product rounds to an exact tie in double precision (1.5, 3.5, 4.5),
  // which would go to the even neighbour; with 64 bits the stored values'
  // tails stay visible and decide.
  EXPECT_EQ(RoundToPlaces(0.15, 1), 0.1);
  EXPECT_EQ(RoundToPlaces(0.35, 1), 0.3);
  EXPECT_EQ(RoundToPlaces(0.45, 1), 0.5);
}

TEST(RoundToPlaces, LimitsPlacesAndLeavesHugeValues) {
  EXPECT_EQ(RoundToPlaces(0.1, 30), RoundToPlaces(0.1, 18));
  EXPECT_EQ(RoundToPlaces(1e300, 2), 1e300);
  EXPECT_TRUE(std::isnan(RoundToPlaces(std::nan(""), 2)));
}

}  // namespace
}  // namespace quenlow::console
