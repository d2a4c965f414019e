// Which file a typed name opens: the same cases run on Linux and, cross-built,
// under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/prompt_cycle.h"

namespace quenlow {
namespace {

namespace fs = std::filesystem;

class TypedName : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / "quenlow-typed-name";
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "sub");
    before_ = fs::current_path();
    fs::current_path(folder_);  // names are typed as the user would, relative to the current folder
  }
  void TearDown() override {
    fs::current_path(before_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  static void Make(const std::string& name) { std::ofstream(name) << "x"; }

  fs::path folder_;
  fs::path before_;
};

TEST_F(TypedName, TriesTheNameInsideOnePairOfQuotesOnlyWhenTheTypedNameIsMissing) {
  Make("take.wav");
  const std::string take = "take.wav";
  const std::string full = (folder_ / take).string();
  struct Case {
    std::string typed, opened;
  };
  for (const Case& c : {
           Case{take, take},                                              // as typed
           Case{"\"" + take + "\"", take},                                // Copy as path, dropped file
           Case{"\"" + full + "\"", full},
           Case{"\"missing.wav\"", "\"missing.wav\""},                     // fails as typed
           Case{"\"" + take, "\"" + take},                                // one quote is no pair
           Case{take + "\"", take + "\""},
           Case{"\"\"" + take + "\"\"", "\"\"" + take + "\"\""},          // only one pair is taken off
           Case{"\"sub\"", "\"sub\""},                                     // a folder is no file
           Case{"\"\"", "\"\""},
           Case{"\"", "\""},
           Case{" \"" + take + "\"", " \"" + take + "\""},                // not wholly enclosed
       }) {
    EXPECT_EQ(NameToOpen(c.typed), c.opened) << c.typed;
  }
}

// Where a name may hold double quotes (not on Windows), a file of the typed
// name is used as typed, even when the name inside would open too.
TEST_F(TypedName, UsesANameThatExistsAsTypedAsTyped) {
  Make("take.wav");
  Make("\"take.wav\"");
  std::error_code error;
  if (!fs::exists("\"take.wav\"", error)) GTEST_SKIP() << "this system allows no \" in a name";
  EXPECT_EQ(NameToOpen("\"take.wav\""), "\"take.wav\"");
}

}  // namespace
}  // namespace quenlow
