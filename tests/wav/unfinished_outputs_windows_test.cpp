// How an output's file is made and put in place on Windows (run under Wine):
// hidden and marked for deletion while it is written, so that the system
// removes it however the program ends; renamed over the old output through
// its own handle, waiting a little for a program that holds the old one.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>
#include <optional>

#include "wav/unfinished_outputs.h"

namespace quenlow {
namespace {

namespace fs = std::filesystem;

class UnfinishedOutputsOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / "quenlow-unfinished-windows";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string In(const std::string& name) const { return (folder_ / name).string(); }
  int FilesIn() const {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++count;
    return count;
  }
  std::string Listing() const {
    std::string names;
    for (const auto& entry : fs::directory_iterator(folder_)) names += " " + entry.path().filename().string();
    return names;
  }
  static std::string Read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static bool Write(platform::FileHandle file, const std::string& text) {
    return platform::WriteAll(file, reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) == 0;
  }
  // Wine keeps only some attributes (hidden and system, in an extended
  // attribute of the Linux file), and only where the file system holds them.
  bool Keeps(DWORD attribute) const {
    const std::wstring probe = (folder_ / "probe").wstring();
    std::ofstream(folder_ / "probe") << "x";
    SetFileAttributesW(probe.c_str(), attribute);
    const bool kept = (GetFileAttributesW(probe.c_str()) & attribute) != 0;
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(probe.c_str());
    return kept;
  }
  // The temporary file beside the output, if any.
  fs::path Temporary() const {
    for (const auto& entry : fs::directory_iterator(folder_)) {
      if (entry.path().filename().string()[0] == '.') return entry.path();
    }
    return {};
  }

  fs::path folder_;
};

TEST_F(UnfinishedOutputsOnWindows, AreHiddenWhileWrittenAndGoWithTheirLastHandle) {
  const UnfinishedOutput output = CreateUnfinishedOutput(In("take QLW filtered.wav"));
  ASSERT_NE(output.file, platform::kNoFile) << output.error;
  ASSERT_TRUE(Write(output.file, "abc"));
  const fs::path temporary = Temporary();
  ASSERT_FALSE(temporary.empty());
  const DWORD attributes = GetFileAttributesW(temporary.wstring().c_str());
  // As a program killed outright: its handle is closed by the system, and
  // nobody removes the file by name.
  CloseHandle(reinterpret_cast<HANDLE>(output.file));
  EXPECT_EQ(FilesIn(), 0);
  DiscardUnfinishedOutput(output.slot);  // forgets it

  // Hidden from Explorer, and temporary: the system keeps it in memory
  // where it can.
  for (const DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_TEMPORARY}) {
    if (!Keeps(attribute)) {
      GTEST_SKIP() << "Wine keeps no attribute " << attribute
                   << " (only hidden and system, where the file system holds them)";
    }
    EXPECT_NE(attributes & attribute, 0u) << attribute;
  }
}

TEST_F(UnfinishedOutputsOnWindows, TakeTheirNameAsOrdinaryFilesReplacingTheOldOne) {
  const std::string name = In("take QLW filtered.wav");
  std::ofstream(name, std::ios::binary) << "old";
  const UnfinishedOutput output = CreateUnfinishedOutput(name);
  ASSERT_NE(output.file, platform::kNoFile) << output.error;
  ASSERT_TRUE(Write(output.file, "new"));
  ASSERT_EQ(PutUnfinishedOutputInPlace(output.slot, name), 0);
  EXPECT_EQ(Read(name), "new");
  EXPECT_EQ(FilesIn(), 1);
  const DWORD attributes = GetFileAttributesW(fs::path(name).wstring().c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY), 0u);
}

// A media player or a virus scanner holding the old output: a program
// that lets it go within a second is waited for; one that holds on gets the
// failure, and the new file stays unfinished, to be discarded.
TEST_F(UnfinishedOutputsOnWindows, WaitAboutASecondForAnOldOutputHeldOpen) {
  const std::string name = In("take QLW unfiltered.wav");
  std::ofstream(name, std::ios::binary) << "old";
  for (const bool letGo : {true, false}) {
    const HANDLE holder = CreateFileW(fs::path(name).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const UnfinishedOutput output = CreateUnfinishedOutput(name);
    ASSERT_NE(output.file, platform::kNoFile) << output.error;
    ASSERT_TRUE(Write(output.file, "new"));
    std::thread release;
    if (letGo) {
      release = std::thread([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CloseHandle(holder);
      });
    }
    const platform::SystemError error = PutUnfinishedOutputInPlace(output.slot, name);
    if (letGo) {
      release.join();
      EXPECT_EQ(error, 0) << platform::ErrorText(error);
      EXPECT_EQ(Read(name), "new");
      std::ofstream(name, std::ios::binary | std::ios::trunc) << "old";
      continue;
    }
    CloseHandle(holder);
    if (error == 0) GTEST_SKIP() << "Wine replaces a file another program holds open without sharing its deletion";
    EXPECT_EQ(Read(name), "old");
    DiscardUnfinishedOutput(output.slot);
    EXPECT_EQ(FilesIn(), 1) << "the unfinished file is gone with its handle";
  }
}

// The pair is put in place as a pair: with an old output held open by
// another program for good, both old files are kept and the failure names
// the held one; let go, both new files take their names and nothing else
// is left.
TEST_F(UnfinishedOutputsOnWindows, PutThePairInPlaceAsAPair) {
  const std::string names[] = {In("take QLW unfiltered.wav"), In("take QLW filtered.wav")};
  for (const std::string& name : names) std::ofstream(name, std::ios::binary) << "old";
  for (const bool held : {true, false}) {
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (held) {
      holder = CreateFileW(fs::path(names[1]).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }
    std::vector<int> slots;
    for (const std::string& name : names) {
      const UnfinishedOutput output = CreateUnfinishedOutput(name);
      ASSERT_NE(output.file, platform::kNoFile) << output.error;
      ASSERT_TRUE(Write(output.file, "new"));
      slots.push_back(output.slot);
    }
    const std::optional<PlacementFailure> failure =
        PutUnfinishedOutputsInPlace(slots, {names[0], names[1]});
    if (held) {
      CloseHandle(holder);
      for (const int slot : slots) DiscardUnfinishedOutput(slot);
      if (!failure) GTEST_SKIP() << "Wine moved a file over one held open without sharing its deletion";
      EXPECT_EQ(failure->index, 1u);
      EXPECT_EQ(Read(names[0]), "old");
      EXPECT_EQ(Read(names[1]), "old");
      EXPECT_EQ(FilesIn(), 2) << "no backup or temporary file is left:" << Listing();
    } else {
      ASSERT_FALSE(failure.has_value());
      EXPECT_EQ(Read(names[0]), "new");
      EXPECT_EQ(Read(names[1]), "new");
      EXPECT_EQ(FilesIn(), 2) << Listing();
    }
  }
}

}  // namespace
}  // namespace quenlow
