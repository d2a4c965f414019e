#include "dsp/filter_taps.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace quenlow {
namespace {

// The taps as a list, trailing zeros left off, so failures print readably.
std::vector<double> ReadTaps(std::string_view text) {
  const FilterTaps taps = ParseFilterTaps(text);
  std::vector<double> values(taps.begin(), taps.end());
  while (!values.empty() && values.back() == 0.0) values.pop_back();
  return values;
}

class ScratchFile {
 public:
  explicit ScratchFile(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("quenlow_taps_" + std::to_string(::getpid()) + "_" + name)) {}
  ~ScratchFile() { std::filesystem::remove_all(path_); }
  std::string path() const { return path_.string(); }
  void Write(const std::string& content) const {
    std::ofstream(path_, std::ios::binary) << content;
  }

 private:
  std::filesystem::path path_;
};

TEST(FilterTapsText, LinesEndedByLineFeedsAloneRunTogetherIntoOneField) {
  EXPECT_EQ(ReadTaps("1\n2\n"), (std::vector<double>{12}));
  EXPECT_EQ(ReadTaps("1\n2\n\r\n3"), (std::vector<double>{12, 3}));
}

TEST(FilterTapsText, BlankLineIsAZeroTapNotSkipped) {
  EXPECT_EQ(ReadTaps("0.5\r\n\r\n0.25\r\n"), (std::vector<double>{0.5, 0, 0.25}));
  EXPECT_EQ(ReadTaps("1\r\r2"), (std::vector<double>{1, 0, 2}));
}

TEST(FilterTapsText, CommaSeparatesTapsButASpaceDoesNot) {
  EXPECT_EQ(ReadTaps("0.5,0.25"), (std::vector<double>{0.5, 0.25}));
  EXPECT_EQ(ReadTaps("0.5 0.25"), (std::vector<double>{0.5}));
  EXPECT_EQ(ReadTaps("   7,\t8\t,  9  ,"), (std::vector<double>{7, 8, 9}));
}

TEST(FilterTapsText, CarriageReturnTakesOnlyOneLineFeedWithIt) {
  // The second line feed starts the next field, where it is dropped.
  EXPECT_EQ(ReadTaps("1\r\n\n2,3"), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(ReadTaps("1\r2"), (std::vector<double>{1, 2}));
}

TEST(FilterTapsText, QuotedFieldHoldsSeparatorsUntilItsClosingQuote) {
  EXPECT_EQ(ReadTaps("\"1,5\" \t\n,2"), (std::vector<double>{1, 2}));
  // Inside quotes a line feed is a leading blank, a carriage return ends the number.
  EXPECT_EQ(ReadTaps("\"\n4\"\r\n5"), (std::vector<double>{4, 5}));
  EXPECT_EQ(ReadTaps("\"\r\n4\"\r\n5"), (std::vector<double>{0, 5}));
  EXPECT_EQ(ReadTaps("\"\x1A\",6"), (std::vector<double>{0, 6}));
  EXPECT_EQ(ReadTaps("  \"7\"\r\n\n8"), (std::vector<double>{7, 8}));
  // Without a closing quote the field runs to the end of the text.
  EXPECT_EQ(ReadTaps("1,\"3,4\r\n5"), (std::vector<double>{1, 3}));
}

TEST(FilterTapsText, EndOfFileMarkEmptiesTheFieldAndEveryLaterOne) {
  EXPECT_EQ(ReadTaps("1\x1A,2,3"), (std::vector<double>{1}));
  EXPECT_EQ(ReadTaps("1,  \x1A\r\n2"), (std::vector<double>{1}));
  EXPECT_EQ(ReadTaps("\x1A" "1,2"), (std::vector<double>{}));
}

TEST(FilterTapsText, MissingFieldsAreZeroAndExtraFieldsIgnored) {
  EXPECT_EQ(ReadTaps(""), (std::vector<double>{}));
  EXPECT_EQ(ReadTaps("1,2,3"), (std::vector<double>{1, 2, 3}));

  std::string text;
  for (int i = 1; i <= 300; ++i) text += std::to_string(i) + "\r\n";
  const FilterTaps taps = ParseFilterTaps(text);
  for (int i = 0; i < TapCount; ++i) ASSERT_EQ(taps[i], i + 1) << "tap " << i;
}

TEST(FilterTapsText, HugeFieldsAreReadWithoutLimit) {
  constexpr std::size_t kLength = 20'000'000;
  // Twenty million digits before the point: far beyond the double range.
  EXPECT_EQ(ReadTaps(std::string(kLength, '1') + ",2"),
            (std::vector<double>{INFINITY, 2}));
  // The same after the point: the value is read from the first 18 digits.
  EXPECT_EQ(ReadTaps("0." + std::string(kLength, '0') + "5,3"), (std::vector<double>{0, 3}));
  EXPECT_EQ(ReadTaps("-1.5" + std::string(kLength, '7') + "E-1\r\n4"),
            (std::vector<double>{ConvertTapField("-0.157777777777777777"), 4}));
  EXPECT_EQ(ReadTaps("1" + std::string(kLength, ' ') + "9,5"), (std::vector<double>{1, 5}));
}

TEST(LoadFilterTaps, ReadsAFileLikeTheSameTextInMemory) {
  // Long runs of each kind make fields, quotes and line ends straddle the
  // boundaries of the chunks the file is read in.
  std::mt19937 random(20240611);
  const std::string pieces[] = {"1", "2.5", "-3e-2", ",", "\r", "\n", "\r\n", " ", "\t",
                                "\"", "&H1F", "9", "0", ".", "E", "7"};
  std::string text;
  while (text.size() < 600'000) {
    const std::string& piece = pieces[random() % std::size(pieces)];
    const std::size_t repeat = random() % 8 == 0 ? random() % 20'000 : 1 + random() % 3;
    for (std::size_t k = 0; k < repeat; ++k) text += piece;
  }
  const ScratchFile file("mixed");
  file.Write(text);
  const auto loaded = LoadFilterTaps(file.path());
  ASSERT_TRUE(loaded.has_value());
  const FilterTaps expected = ParseFilterTaps(text);
  for (int i = 0; i < TapCount; ++i) ASSERT_EQ((*loaded)[i], expected[i]) << "tap " << i;
}

TEST(LoadFilterTaps, GivesNothingForAMissingFileOrADirectory) {
  const ScratchFile missing("missing");
  EXPECT_FALSE(LoadFilterTaps(missing.path()).has_value());

  const ScratchFile directory("directory");
  std::filesystem::create_directory(directory.path());
  EXPECT_FALSE(LoadFilterTaps(directory.path()).has_value());

  const ScratchFile empty("empty");
  empty.Write("");
  const auto taps = LoadFilterTaps(empty.path());
  ASSERT_TRUE(taps.has_value());
  EXPECT_EQ(*taps, FilterTaps{});
}

// In a child process whose data segment may grow by a few megabytes only: a
// reader that took the whole file into memory would fail there.
[[noreturn]] void LoadWithLittleMemory(const std::string& path) {
  std::ifstream status("/proc/self/status");
  std::string line;
  long data_kb = 0;
  while (std::getline(status, line)) {
    if (line.rfind("VmData:", 0) == 0) data_kb = std::stol(line.substr(7));
  }
  const auto limit = static_cast<rlim_t>(data_kb + 16 * 1024) * 1024;
  const rlimit bound{limit, limit};
  if (data_kb == 0 || ::setrlimit(RLIMIT_DATA, &bound) != 0) std::_Exit(3);
  const auto taps = LoadFilterTaps(path);
  const bool right =
      taps && (*taps)[0] == ConvertTapField("0.333333333333333333") && (*taps)[1] == 2.0;
  std::_Exit(right ? 0 : 1);
}

TEST(LoadFilterTapsDeathTest, ReadsAHugeFieldInBoundedMemory) {
  const ScratchFile file("huge");
  {
    std::ofstream out(file.path(), std::ios::binary);
    const std::string block(1 << 20, '3');
    out << "0.";
    for (int k = 0; k < 64; ++k) out << block;
    out << ",2\r\n";
  }
  EXPECT_EXIT(LoadWithLittleMemory(file.path()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quenlow
