// A finished file (a design, a picture) takes its name only complete and on
// disk: a failed flush leaves the old file as it was and nothing beside it;
// a link is written through, a replaced file keeps its permission bits.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/failing_flush.h"
#include "wav/finished_file.h"
#include "wav/unfinished_outputs.h"
#include "support/wav_test_files.h"

namespace quenlow {
namespace {

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t Mode(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? status.st_mode & 0777 : 0;
}

bool IsLink(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

TEST(FinishedFile, AFailedFlushLeavesTheOldFileAndNothingBesideIt) {
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporary" : "named temporary");
    AllowUnnamedOutputs(unnamed);
    const test::ScratchFolder folder;
    folder.Write("old.png", test::Bytes{'o', 'l', 'd'});
    test::FailFlushesFrom(1);
    const FinishedFileResult result = WriteFinishedFile(folder.Path("old.png"), std::string(100000, 'n'));
    test::FailFlushesFrom(0);
    EXPECT_EQ(result.step, FinishedFileStep::Flush);
    EXPECT_NE(FinishedFileFailureText(folder.Path("old.png"), result).find("the old file is as it was"), std::string::npos);
    EXPECT_EQ(FileText(folder.Path("old.png")), "old");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"old.png"});
  }
  AllowUnnamedOutputs(true);
}

TEST(FinishedFile, WritesThroughLinksAndKeepsPermissionBits) {
  const test::ScratchFolder folder;
  ASSERT_EQ(mkdir(folder.Path("sub").c_str(), 0755), 0);
  folder.Write("sub/target.dat", test::Bytes{'o'});
  ASSERT_EQ(chmod(folder.Path("sub/target.dat").c_str(), 0640), 0);
  ASSERT_EQ(symlink("sub/target.dat", folder.Path("relative.dat").c_str()), 0);
  ASSERT_EQ(symlink("relative.dat", folder.Path("chained.dat").c_str()), 0);
  ASSERT_EQ(symlink(folder.Path("sub/new.dat").c_str(), folder.Path("dangling.dat").c_str()), 0);
  const struct {
    const char* name;
    const char* target;
    mode_t mode;
  } cases[] = {
      {"relative.dat", "sub/target.dat", 0640},
      {"chained.dat", "sub/target.dat", 0640},
      {"dangling.dat", "sub/new.dat", 0},  // a new file: the mode any new file gets
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = std::string("through ") + c.name;
    const FinishedFileResult result = WriteFinishedFile(folder.Path(c.name), text);
    ASSERT_TRUE(result.Ok()) << FinishedFileFailureText(c.name, result);
    EXPECT_TRUE(IsLink(folder.Path(c.name)));
    EXPECT_EQ(FileText(folder.Path(c.target)), text);
    if (c.mode != 0) {
      EXPECT_EQ(Mode(folder.Path(c.target)), c.mode);
    }
  }
  // Read-only stays read-only when its owner may replace it anyway (root).
  folder.Write("locked.dat", test::Bytes{'o'});
  ASSERT_EQ(chmod(folder.Path("locked.dat").c_str(), 0444), 0);
  const FinishedFileResult locked = WriteFinishedFile(folder.Path("locked.dat"), "new");
  if (geteuid() == 0) {
    ASSERT_TRUE(locked.Ok());
    EXPECT_EQ(Mode(folder.Path("locked.dat")), 0444u);
  } else {
    EXPECT_EQ(locked.step, FinishedFileStep::ReadOnly);
    EXPECT_EQ(FileText(folder.Path("locked.dat")), "o");
  }
}

TEST(FinishedFile, SaysWhereItStoppedAndWhy) {
  const test::ScratchFolder folder;
  ASSERT_EQ(mkdir(folder.Path("folder.dat").c_str(), 0755), 0);
  ASSERT_EQ(symlink("loop.dat", folder.Path("loop.dat").c_str()), 0);
  const struct {
    std::string name;
    FinishedFileStep step;
    const char* says;
  } cases[] = {
      {folder.Path("folder.dat"), FinishedFileStep::Folder, "it is a folder"},
      {folder.Path("loop.dat"), FinishedFileStep::Link, "cannot follow the link"},
      {folder.Path("missing/x.dat"), FinishedFileStep::Create, "No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FinishedFileResult result = WriteFinishedFile(c.name, "x");
    EXPECT_EQ(result.step, c.step);
    EXPECT_NE(FinishedFileFailureText(c.name, result).find(c.says), std::string::npos)
        << FinishedFileFailureText(c.name, result);
  }
}

}  // namespace
}  // namespace quenlow
