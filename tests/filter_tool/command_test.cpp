// quenlow-filter as a user runs it: the supplied coefficient file comes
// from one design command, a designed file shows the figures asked for, and
// show takes the file the job would take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "wav/wav_test_files.h"

namespace quenlow {
namespace {

using ::testing::HasSubstr;

const std::string kSuppliedFile = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

struct Ran {
  int status;
  std::string output;  // standard output and error together
};

// Runs the program with the arguments in the folder given.
Ran Command(const std::string& folder, const std::string& arguments) {
  const std::string line = "cd '" + folder + "' && '" QUENLOW_FILTER_BINARY "' " + arguments + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first column's number on the line of show's table that starts with `label`.
double Figure(const std::string& shown, const std::string& label) {
  std::smatch match;
  if (!std::regex_search(shown, match, std::regex("\n  " + label + " +([-0-9.]+)"))) return NAN;
  return std::stod(match[1]);
}

TEST(FilterCommand, DesignsTheSuppliedFileByteForByte) {
  const test::ScratchFolder folder;
  const Ran run = Command(folder.path(), "design --rate 44100 --cutoff 22050 --window kaiser --beta 7.8 recfilt.dat");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string supplied = FileText(kSuppliedFile);
  ASSERT_FALSE(supplied.empty());
  EXPECT_TRUE(FileText(folder.Path("recfilt.dat")) == supplied) << "the design no longer gives data/recfilt.dat";
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"recfilt.dat"});
}

struct RoundTrip {
  const char* design;
  double cutoffHz;
  double leastAttenuationDb;  // from the input rate less 20 kHz
};

TEST(FilterCommand, ShowOfADesignedFileReportsWhatWasAskedFor) {
  // Each design's stopband begins at or below the input rate less 20 kHz,
  // where show measures the stopband.
  const RoundTrip cases[] = {
      {"--cutoff 22050 --transition 4100", 22050.0, 79.4 - 1.0},
      {"--rate 48000 --attenuation 90", 24000.0, 90.0 - 1.0},
      {"--cutoff 20000 --attenuation 100", 20000.0, 100.0 - 1.0},
      {"--window blackman --cutoff 21000", 21000.0, 74.0 - 3.0},
  };
  const test::ScratchFolder folder;
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.design);
    const Ran design = Command(folder.path(), std::string("design ") + c.design + " designed.dat");
    ASSERT_EQ(design.status, 0) << design.output;
    const Ran show = Command(folder.path(), "show designed.dat");
    ASSERT_EQ(show.status, 0) << show.output;
    EXPECT_THAT(show.output, HasSubstr("215 field(s) read; 215 of 215 taps filled from numbers"));
    EXPECT_THAT(show.output, HasSubstr("symmetric: linear phase"));
    EXPECT_THAT(show.output, ::testing::Not(HasSubstr("Warnings:")));
    EXPECT_NEAR(Figure(show.output, "DC gain"), 1.0, 1e-9);
    const bool at48 = std::string(c.design).find("48000") != std::string::npos;
    std::smatch six;
    ASSERT_TRUE(std::regex_search(show.output, six, std::regex("-6 dB at +([0-9.]+) Hz +([0-9.]+) Hz")));
    EXPECT_NEAR(std::stod(six[at48 ? 2 : 1]), c.cutoffHz, 10.0);
    std::smatch least;
    ASSERT_TRUE(std::regex_search(show.output, least,
                                  std::regex("attenuation \\(least\\) +([0-9.]+) dB at [0-9]+ Hz +([0-9.]+) dB")));
    EXPECT_GE(std::stod(least[at48 ? 2 : 1]), c.leastAttenuationDb);
  }
}

TEST(FilterCommand, ShowTakesTheFileTheJobTakes) {
  const test::ScratchFolder folder;
  const Ran installed = Command(folder.path(), "show");
  EXPECT_EQ(installed.status, 0) << installed.output;
  EXPECT_THAT(installed.output, HasSubstr("/share/quenlow/recfilt.dat (the one the job takes; looked for recfilt.dat, "));

  folder.Write("recfilt.dat", test::Bytes{'1', '\r', '\n'});
  const Ran own = Command(folder.path(), "show");
  EXPECT_EQ(own.status, 0) << own.output;
  EXPECT_THAT(own.output, HasSubstr("File: recfilt.dat (the one the job takes;"));
  EXPECT_THAT(own.output, HasSubstr("1 field(s) read; 1 of 215 taps filled"));
}

TEST(FilterCommand, WrongUsageEndsWithStatusTwoAndSaysWhy) {
  const struct {
    const char* arguments;
    const char* says;
  } cases[] = {
      {"", "A subcommand is required"},
      {"design --window triangle out.dat", "unknown window triangle"},
      {"design --beta 5 --attenuation 60 out.dat", "at most one of --beta, --transition and --attenuation"},
      {"design --rate 32000 out.dat", "--rate"},
      {"show --size 10x10", "WIDTHxHEIGHT"},
      {"spectrum a.wav", "-o FILE.png|FILE.svg, or ask for --text"},
  };
  const test::ScratchFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Ran run = Command(folder.path(), c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.output, HasSubstr(c.says));
  }
  EXPECT_TRUE(folder.Entries().empty());
}

}  // namespace
}  // namespace quenlow
