// The command line and names as a Windows command-line program gets them,
// under Wine: arguments from the UTF-16 command line (ctest passes this
// test names beyond ASCII and beyond any one ANSI code page) and names
// through std::filesystem, both in UTF-8 exactly.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace quenlow::platform {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kPassed{"Ærø 日本 ✓.wav", "two words", "ascii"};

TEST(CommandLine, ArgumentsArriveAsTheirUtf8) {
  std::vector<std::string> narrow = ::testing::internal::GetArgvs();
  std::vector<char*> argv;
  for (std::string& argument : narrow) argv.push_back(argument.data());
  const std::vector<std::string> arguments = CommandLineArguments(static_cast<int>(argv.size()), argv.data());
  ASSERT_EQ(arguments.size(), kPassed.size() + 1);
  EXPECT_EQ(std::vector<std::string>(arguments.begin() + 1, arguments.end()), kPassed);
}

// A file made, listed and named again through the conversions keeps its
// name: what the folder holds is the UTF-16 of the UTF-8 name.
TEST(CommandLine, NamesRoundTripThroughTheFileSystem) {
  const fs::path folder = fs::temp_directory_path() / ("quenlow-names-" + std::to_string(std::random_device{}()));
  ASSERT_TRUE(fs::create_directories(folder));
  for (const std::string& name : kPassed) {
    const std::string path = NameOfPath(folder) + "/" + name;
    std::ofstream(FileSystemPath(path)) << "x";
    EXPECT_EQ(FileSystemPath(path).filename().wstring(), fs::path(FileSystemPath(name)).wstring()) << name;
  }
  std::vector<std::string> listed;
  for (const auto& entry : fs::directory_iterator(folder)) listed.push_back(NameOfPath(entry.path().filename()));
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> expected = kPassed;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(FileSystemPath("Ærø").wstring(), L"\u00c6r\u00f8");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quenlow::platform
