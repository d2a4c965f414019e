// quenlow-filter as a user runs it: the supplied coefficient file comes
// from one design command, a designed file shows the figures asked for, and
// show takes the file the job would take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <cctype>
#include <string>
#include <vector>

#include "support/wav_test_files.h"
#include "version.h"

namespace quenlow {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string kSuppliedFile = QUENLOW_SOURCE_DIR "/data/recfilt.dat";

struct Ran {
  int status;
  std::string output;  // standard output and error together
};

// Runs the program with the arguments in the folder given.
// `before`: shell commands to run first (limits).
Ran Command(const std::string& folder, const std::string& arguments, const std::string& before = "") {
  const std::string line = "cd '" + folder + "' && " + before + "'" QUENLOW_FILTER_BINARY "' " + arguments + " 2>&1";
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

// The numbers on the line of show's table that starts with `label`, after it.
std::vector<double> Figures(const std::string& shown, const std::string& label) {
  std::vector<double> numbers;
  const std::size_t start = shown.find("\n  " + label);
  if (start == std::string::npos) return numbers;
  const std::size_t end = shown.find('\n', start + 1);
  const std::string line = shown.substr(start + 3 + label.size(), end - start - 3 - label.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const bool digitNext = i + 1 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 1]));
    if (std::isdigit(static_cast<unsigned char>(line[i])) || ((line[i] == '-' || line[i] == '+') && digitNext)) {
      char* after = nullptr;
      numbers.push_back(std::strtod(line.c_str() + i, &after));
      i = static_cast<std::size_t>(after - line.c_str()) - 1;
    }
  }
  return numbers;
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
    const std::vector<double> dc = Figures(show.output, "DC gain");
    ASSERT_EQ(dc.size(), 2u) << show.output;
    EXPECT_NEAR(dc[0], 1.0, 1e-9);
    // Columns: 44.1 kHz, then 48 kHz input.
    const bool at48 = std::string(c.design).find("48000") != std::string::npos;
    const std::vector<double> six = Figures(show.output, "-6 dB at");
    ASSERT_EQ(six.size(), 2u) << show.output;
    EXPECT_NEAR(six[at48 ? 1 : 0], c.cutoffHz, 10.0);
    const std::vector<double> least = Figures(show.output, "  attenuation (least)");  // value, frequency, twice
    ASSERT_EQ(least.size(), 4u) << show.output;
    EXPECT_GE(least[at48 ? 2 : 0], c.leastAttenuationDb);
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
    std::string arguments;
    const char* says;
  } cases[] = {
      {"", "quenlow-filter: A subcommand is required"},
      {"design --window triangle out.dat", "unknown window triangle"},
      {"design --beta 5 --attenuation 60 out.dat", "at most one of --beta, --transition and --attenuation"},
      {"design --rate 32000 out.dat", "--rate"},
      {"show --plot a.png --size 10x10", "WIDTHxHEIGHT"},
      {"spectrum a.wav", "-o FILE.png|FILE.svg, or ask for --text"},
      // Every fault names the program.
      {"show --bogus", "quenlow-filter: The following argument was not expected: --bogus"},
      // Options that mean nothing without a picture, or with the text.
      {"show --impulse", "--impulse requires --plot"},
      {"show --rate 48000", "--rate requires --plot"},
      {"show --size 800x600", "--size requires --plot"},
      {"spectrum a.wav --text --floor -80", "excludes"},
      {"spectrum a.wav --text -o a.png", "excludes"},
      // An empty name is not a name left out.
      {"show --plot ''", "--plot: the file name is empty"},
      {"spectrum a.wav -o ''", "the file name is empty"},
      {"design ''", "the file name is empty"},
      // A floor that draws nothing, or is no number.
      {"spectrum a.wav -o a.png --floor 10", "the floor must be a number of dB from -400 to 0"},
      {"spectrum a.wav -o a.png --floor nan", "the floor must be a number of dB from -400 to 0"},
      {"spectrum a.wav -o a.png --floor -1e9", "the floor must be a number of dB from -400 to 0"},
      // A picture of another kind, before the file is read.
      {"show " + kSuppliedFile + " --plot response.jpg", "must end in .png or .svg"},
      // Transition bands that cross 0 Hz or half the output rate.
      {"design --cutoff 1 out.dat", "the transition band (-2052 to 2054 Hz) must lie between 0 Hz and half"},
      {"design --cutoff 88199 out.dat", "the transition band (86146 to 90252 Hz) must lie between"},
      {"design --cutoff 500 --window blackman out.dat", "the transition band"},
  };
  const test::ScratchFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Ran run = Command(folder.path(), c.arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.output, HasSubstr(c.says));
    EXPECT_THAT(run.output, Not(HasSubstr("Figures")));
  }
  EXPECT_TRUE(folder.Entries().empty());
}

TEST(FilterCommand, DesignWritesThroughALinkKeepsItsModeAndSaysWhyItCannotWrite) {
  const test::ScratchFolder folder;
  folder.Write("kept.dat", test::Bytes{'o'});
  ASSERT_EQ(chmod(folder.Path("kept.dat").c_str(), 0444), 0);
  ASSERT_EQ(symlink("kept.dat", folder.Path("link.dat").c_str()), 0);
  const Ran linked = Command(folder.path(), "design link.dat");
  if (geteuid() == 0) {
    ASSERT_EQ(linked.status, 0) << linked.output;
    EXPECT_EQ(FileText(folder.Path("kept.dat")), FileText(kSuppliedFile));
    struct stat status {};
    ASSERT_EQ(stat(folder.Path("kept.dat").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0444u);
  } else {
    EXPECT_EQ(linked.status, 1);
    EXPECT_THAT(linked.output, HasSubstr("read-only"));
  }
  struct stat link {};
  ASSERT_EQ(lstat(folder.Path("link.dat").c_str(), &link), 0);
  EXPECT_TRUE(S_ISLNK(link.st_mode));

  const Ran nowhere = Command(folder.path(), "design missing/out.dat");
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_THAT(nowhere.output, HasSubstr("cannot write missing/out.dat: No such file or directory"));
}

TEST(FilterCommand, DesignWarnsWithTheMeasuredFigureWhenTheStopbandFallsShort) {
  const struct {
    const char* design;
    bool warned;
  } cases[] = {
      {"--attenuation 100", false},
      {"--attenuation 120", false},
      {"--attenuation 160", true},
      {"--attenuation 300", true},
      {"--beta 40", true},
  };
  const test::ScratchFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.design);
    const Ran run = Command(folder.path(), std::string("design ") + c.design + " out.dat");
    EXPECT_EQ(run.status, 0) << run.output;
    const std::size_t warning = run.output.find("warning: the stopband measures ");
    EXPECT_EQ(warning != std::string::npos, c.warned) << run.output;
    if (warning == std::string::npos) continue;
    // The figure warned of is the figure measured.
    const std::vector<double> measured = Figures("\n  " + run.output.substr(run.output.find("stopband from")), "stopband from");
    ASSERT_GE(measured.size(), 2u) << run.output;
    EXPECT_NEAR(std::strtod(run.output.c_str() + warning + 31, nullptr), measured[1], 0.051);
  }
}

// A write cut short by a file-size limit of 1 kB (the file is about 5 kB):
// the command fails, and leaves neither the file nor a piece of it.
TEST(FilterCommand, ADesignWhoseWriteFailsLeavesNoFile) {
  const test::ScratchFolder folder;
  const Ran ran = Command(folder.path(), "design new.dat", "trap '' XFSZ; ulimit -f 2; ");
  EXPECT_EQ(ran.status, 1) << ran.output;
  EXPECT_THAT(ran.output, HasSubstr("quenlow-filter design: cannot write new.dat"));
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{});
}

// Both spellings print the project's version and nothing else.
TEST(FilterCommand, VersionIsTheProjectsVersion) {
  const test::ScratchFolder folder;
  for (const char* flag : {"--version", "-V"}) {
    const Ran run = Command(folder.path(), flag);
    EXPECT_EQ(run.status, 0) << flag;
    EXPECT_EQ(run.output, std::string("quenlow-filter ") + kVersion + "\n") << flag;
  }
}

}  // namespace
}  // namespace quenlow
