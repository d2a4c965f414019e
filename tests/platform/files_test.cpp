// The file layer on the system it was built for: the same cases run on
// Linux and, cross-built, under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system_facts.h"

namespace quenlow::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A scratch folder whose name is not plain ASCII, so that every call also
// proves the name reaches the system intact.
class ScratchFolder {
 public:
  ScratchFolder() : path_(fs::temp_directory_path() / PathOf(std::string("quenlow-\u00e9-") + TestName())) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  // The UTF-8 name of a file inside, as the program keeps names.
  std::string operator/(const std::string& name) const { return Utf8Of(path_ / PathOf(name)); }
  fs::path Path(const std::string& name) const { return path_ / PathOf(name); }

 private:
  static std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }
  fs::path path_;
};

Bytes ReadWhole(const std::string& name) {
  const OpenedFile file = OpenForReading(name);
  if (file.handle == kNoFile) return {};
  Bytes bytes(RegularFileSize(file.handle).value_or(0));
  bytes.resize(ReadAt(file.handle, 0, bytes.data(), bytes.size()));
  CloseFile(file.handle);
  return bytes;
}

bool WriteWhole(std::string pattern, const Bytes& bytes, const std::string& finalName) {
  const OpenedFile file = CreateTemporaryFile(pattern);
  if (file.handle == kNoFile) return false;
  const bool written = WriteAll(file.handle, bytes.data(), bytes.size()) == 0 && FlushToDisk(file.handle) == 0;
  return CloseFile(file.handle) == 0 && written && RenameOver(pattern, finalName) == 0;
}

TEST(PlatformFiles, WritesThroughATemporaryFileAndReplacesTheOldOne) {
  const ScratchFolder folder;
  const std::string target = folder / "take ü QLW filtered.wav";
  ASSERT_TRUE(WriteWhole(folder / ".first.XXXXXX", Bytes{1, 2, 3}, target));
  ASSERT_TRUE(WriteWhole(folder / ".second.XXXXXX", Bytes{4, 5, 6, 7, 8}, target));
  EXPECT_EQ(ReadWhole(target), (Bytes{4, 5, 6, 7, 8}));
  // Only the final file is left: both temporary names were renamed away.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder.Path(""))) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

// Windows once limited a path to 260 characters; an input deep in a music
// library must not fail only when its outputs are written.
TEST(PlatformFiles, WritesAndReadsUnderAPathPastTheOldLimit) {
  const ScratchFolder folder;
  // The folders stay short enough for the test's own library to make and
  // remove; the long names of the files take the paths past the limit.
  const std::string deep = folder / (std::string(60, 'a') + "/" + std::string(60, 'b'));
  fs::create_directories(PathOf(deep));
  const std::string longName = std::string(120, 'x');
  const std::string target = deep + "/" + longName + " QLW filtered.wav";
  ASSERT_GT(target.size(), 280u);  // past the old limit of 260
  EXPECT_TRUE(WriteWhole(deep + "/." + longName + ".XXXXXX", Bytes{9, 8, 7}, target));
  EXPECT_TRUE(FileOpens(target));
  EXPECT_TRUE(PathExists(target));
  EXPECT_EQ(CheckReplaceable(target).verdict, Replaceable::Yes);
  EXPECT_EQ(ReadWhole(target), (Bytes{9, 8, 7}));
  RemoveFile(target.c_str());
  EXPECT_FALSE(PathExists(target));
}

TEST(PlatformFiles, ReadsAtAnyOffsetAndStopsAtTheEnd) {
  const ScratchFolder folder;
  Bytes bytes(70000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(WriteWhole(folder / ".r.XXXXXX", bytes, folder / "data.bin"));
  const OpenedFile file = OpenForReading(folder / "data.bin");
  ASSERT_NE(file.handle, kNoFile) << ErrorText(file.error);
  EXPECT_EQ(RegularFileSize(file.handle), 70000u);
  struct Case {
    std::uint64_t offset;
    std::size_t want, got;
  };
  for (const Case c : {Case{0, 10, 10}, Case{65530, 100, 100}, Case{69990, 100, 10}, Case{70000, 5, 0},
                       Case{std::uint64_t{1} << 40, 5, 0}}) {
    Bytes out(c.want, 0xEE);
    EXPECT_EQ(ReadAt(file.handle, c.offset, out.data(), out.size()), c.got) << c.offset;
    for (std::size_t i = 0; i < c.got; ++i) ASSERT_EQ(out[i], bytes[c.offset + i]) << c.offset + i;
  }
  CloseFile(file.handle);
}

TEST(PlatformFiles, TellsFilesFromFoldersAndMissingNames) {
  const ScratchFolder folder;
  ASSERT_TRUE(WriteWhole(folder / ".e.XXXXXX", Bytes{}, folder / "empty.wav"));
  fs::create_directory(folder.Path("sub"));
  EXPECT_TRUE(FileOpens(folder / "empty.wav"));
  EXPECT_TRUE(PathExists(folder / "empty.wav"));
  EXPECT_FALSE(FileOpens(folder / "sub"));
  EXPECT_TRUE(PathExists(folder / "sub"));
  EXPECT_FALSE(FileOpens(folder / "missing.wav"));
  EXPECT_FALSE(PathExists(folder / "missing.wav"));
  EXPECT_FALSE(FileOpens(""));

  EXPECT_EQ(CheckReplaceable(folder / "empty.wav").verdict, Replaceable::Yes);
  EXPECT_EQ(CheckReplaceable(folder / "missing.wav").verdict, Replaceable::Yes);
  EXPECT_EQ(CheckReplaceable(folder / "sub").verdict, Replaceable::Folder);

  const OpenedFile missing = OpenForReading(folder / "missing.wav");
  EXPECT_EQ(missing.handle, kNoFile);
  EXPECT_FALSE(ErrorText(missing.error).empty());
  EXPECT_EQ(ErrorText(missing.error).find('\n'), std::string::npos);
}

// The clean-up of an interrupted program removes outputs the writer still
// holds open.
TEST(PlatformFiles, RemovesATemporaryFileThatIsStillOpen) {
  const ScratchFolder folder;
  std::string pattern = folder / ".open.XXXXXX";
  const OpenedFile file = CreateTemporaryFile(pattern);
  ASSERT_NE(file.handle, kNoFile) << ErrorText(file.error);
  EXPECT_EQ(pattern.find("XXXXXX"), std::string::npos);
  EXPECT_TRUE(PathExists(pattern));
  RemoveFile(pattern.c_str());
  const Bytes bytes{9, 9};
  WriteAll(file.handle, bytes.data(), bytes.size());  // may succeed or not; the name must go
  CloseFile(file.handle);
  EXPECT_FALSE(PathExists(pattern));
}

TEST(PlatformFiles, SplitsTheFolderFromTheFileName) {
  EXPECT_EQ(FileNamePosition("take.wav"), 0u);
  EXPECT_EQ(FileNamePosition("music/take.wav"), 6u);
  EXPECT_EQ(FileNamePosition("/a/b/take.wav"), 5u);
}

TEST(PlatformFacts, TheClockOnlyMovesForward) {
  const double first = MonotonicSeconds();
  double last = first;
  for (int i = 0; i < 1000; ++i) {
    const double now = MonotonicSeconds();
    ASSERT_GE(now, last);
    last = now;
  }
  EXPECT_FALSE(InstalledDataFolder().empty());
}

}  // namespace
}  // namespace quenlow::platform
