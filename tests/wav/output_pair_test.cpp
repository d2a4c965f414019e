// The outputs as a pair: what stops either from replacing its old file is
// found before any work, and at the end either both take their names or the
// old pair stays, by exchange or, where the file system has none, by the
// named way. Cases about other users run in a child that drops to nobody
// (the tests run as root, whom neither permissions nor the sticky bit stop).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_names.h"
#include "wav/output_pair.h"
#include "wav/unfinished_outputs.h"
#include "support/wav_test_files.h"
#include "wav/wav_writer.h"

namespace quenlow {
namespace {

using test::Bytes;
using test::ScratchFolder;

constexpr uid_t kNobody = 65534;
const Bytes kOld = {'o', 'l', 'd'};

// Runs `body` in a child as nobody; its exit status is the child's.
int AsNobody(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

// A folder every user may write in, with the sticky bit (like /tmp).
void MakeShared(const ScratchFolder& folder) { ASSERT_EQ(chmod(folder.path().c_str(), 01777), 0); }

// How the pair is put in place: by exchange, or the named way with neither
// unnamed files nor exchange, as on vfat or a FUSE mirror.
struct Way {
  const char* what;
  bool modern;
};
constexpr Way kWays[] = {{"exchange", true}, {"named way", false}};

struct WayChosen {
  explicit WayChosen(const Way& way) {
    AllowUnnamedOutputs(way.modern);
    platform::AllowNameExchange(way.modern);
  }
  ~WayChosen() {
    AllowUnnamedOutputs(true);
    platform::AllowNameExchange(true);
  }
};

// Two complete writers of `frames` frames for `a` and `b`.
struct Pair {
  OutputWavWriter a;
  OutputWavWriter b;
  Pair(const std::string& first, const std::string& second, int frames)
      : a(first, 2, 176400, frames), b(second, 2, 176400, frames + 1) {
    const Bytes block(6 * static_cast<std::size_t>(frames + 1), 0x42);
    a.Append(block.data(), 6 * static_cast<std::size_t>(frames));
    b.Append(block.data(), block.size());
  }
  bool Complete() { return a.Complete().ok && b.Complete().ok; }
  PairPlacement Place() { return PutOutputsInPlace({&a, &b}); }
};

TEST(OutputPair, TheCheckBeforeAnyWorkNamesWhatStopsAnOutput) {
  ScratchFolder folder;
  const std::string input = folder.Write("take.wav", Bytes(50, 1));
  folder.Write("plain.wav", kOld);
  std::filesystem::create_directory(folder.Path("folder.wav"));
  ASSERT_EQ(mkfifo(folder.Path("pipe.wav").c_str(), 0666), 0);
  std::filesystem::create_symlink("take.wav", folder.Path("link to input.wav"));
  std::filesystem::create_hard_link(input, folder.Path("second name.wav"));
  std::filesystem::create_symlink("folder.wav", folder.Path("link to folder.wav"));
  std::filesystem::create_symlink("plain.wav", folder.Path("link to plain.wav"));
  const std::optional<platform::FileIdentity> inputIdentity = platform::IdentityOfName(input);
  ASSERT_TRUE(inputIdentity);
  const struct {
    const char* name;
    OutputRefusalReason reason;
  } cases[] = {
      {"absent.wav", OutputRefusalReason::None},
      {"plain.wav", OutputRefusalReason::None},
      {"link to plain.wav", OutputRefusalReason::None},
      {"folder.wav", OutputRefusalReason::IsFolder},
      {"link to folder.wav", OutputRefusalReason::IsFolder},
      {"pipe.wav", OutputRefusalReason::NotAFile},
      {"take.wav", OutputRefusalReason::IsTheInput},
      {"link to input.wav", OutputRefusalReason::IsTheInput},
      {"second name.wav", OutputRefusalReason::IsTheInput},
  };
  for (const auto& c : cases) {
    const OutputRefusal refusal = CheckOutputsReplaceable({folder.Path("absent 2.wav"), folder.Path(c.name)}, inputIdentity);
    EXPECT_EQ(refusal.reason, c.reason) << c.name;
    if (c.reason != OutputRefusalReason::None) {
      EXPECT_EQ(refusal.name, folder.Path(c.name));
    }
  }
}

// Checked as another user: a folder without write permission, a file
// another user owns in a shared (sticky) folder, which may be written but
// not renamed over, and a file of one's own there, which may.
TEST(OutputPair, TheCheckKnowsTheFolderAndTheStickyBit) {
  ScratchFolder closed;
  closed.Write("out.wav", kOld);
  ASSERT_EQ(chmod(closed.Path("out.wav").c_str(), 0666), 0);
  ASSERT_EQ(chmod(closed.path().c_str(), 0555), 0);
  ScratchFolder shared;
  MakeShared(shared);
  shared.Write("root's.wav", kOld);
  ASSERT_EQ(chmod(shared.Path("root's.wav").c_str(), 0666), 0);
  shared.Write("nobody's.wav", kOld);
  ASSERT_EQ(chown(shared.Path("nobody's.wav").c_str(), kNobody, kNobody), 0);
  const struct {
    std::string name;
    OutputRefusalReason reason;
  } cases[] = {
      {closed.Path("out.wav"), OutputRefusalReason::FolderNotWritable},
      {closed.Path("new.wav"), OutputRefusalReason::FolderNotWritable},
      {shared.Path("root's.wav"), OutputRefusalReason::OthersInSharedFolder},
      {shared.Path("nobody's.wav"), OutputRefusalReason::None},
      {shared.Path("new.wav"), OutputRefusalReason::None},
  };
  for (const auto& c : cases) {
    const int got = AsNobody([&] { return static_cast<int>(CheckOutputsReplaceable({c.name}, std::nullopt).reason); });
    EXPECT_EQ(got, static_cast<int>(c.reason)) << c.name;
  }
}

TEST(OutputPair, AReadOnlyFileSystemIsToldAsSuch) {
  // /proc/sys and /sys are mounted read-only in most containers; where
  // neither is, there is nothing to try this on.
  for (const char* folder : {"/sys", "/proc/sys"}) {
    if (access(folder, W_OK) != 0 && errno == EROFS) {
      const OutputRefusal refusal = CheckOutputsReplaceable({std::string(folder) + "/take QLW filtered.wav"}, std::nullopt);
      EXPECT_EQ(refusal.reason, OutputRefusalReason::ReadOnlyFileSystem);
      return;
    }
  }
  GTEST_SKIP() << "no read-only file system here";
}

// Both names take the new files, whether the old ones were there or not,
// and nothing else is left in the folder.
TEST(OutputPair, BothOutputsTakeTheirNamesAndNothingElseStays) {
  for (const Way& way : kWays) {
    for (const bool replacing : {false, true}) {
      SCOPED_TRACE(std::string(way.what) + (replacing ? ", replacing" : ", new"));
      const WayChosen chosen(way);
      ScratchFolder folder;
      if (replacing) {
        folder.Write("a.wav", kOld);
        folder.Write("b.wav", kOld);
      }
      Pair pair(folder.Path("a.wav"), folder.Path("b.wav"), 3);
      ASSERT_TRUE(pair.Complete());
      const PairPlacement placed = pair.Place();
      ASSERT_TRUE(placed.ok) << placed.failedName << ": " << placed.error;
      EXPECT_EQ(test::ReadWholeFile(folder.Path("a.wav")).size(), 44u + 18);
      EXPECT_EQ(test::ReadWholeFile(folder.Path("b.wav")).size(), 44u + 24);
      EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"a.wav", "b.wav"}));
    }
  }
}

// Sets or clears the immutable flag (chattr +i): not even root may rename
// over such a file. False where the file system or the container refuses.
bool SetImmutable(const std::string& path, bool immutable) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return done;
}

// The second name cannot be taken: a folder appeared under it after the
// job's check (found before any name changes), or the system refuses the
// rename itself once the first name has changed (an immutable old file).
// Either way the first is put back, and the old pair stays as it was.
TEST(OutputPair, WhenTheSecondNameFailsTheFirstIsPutBack) {
  for (const Way& way : kWays) {
    for (const bool immutable : {false, true}) {
      for (const bool firstExisted : {false, true}) {
        SCOPED_TRACE(std::string(way.what) + (immutable ? ", immutable second" : ", folder second") +
                     (firstExisted ? ", first replaced" : ", first new"));
        const WayChosen chosen(way);
        ScratchFolder folder;
        if (firstExisted) folder.Write("a.wav", kOld);
        if (immutable) {
          folder.Write("b.wav", kOld);
          // Where immutable files cannot be made, only the folder cases run.
          if (!SetImmutable(folder.Path("b.wav"), true)) continue;
        }
        {
          Pair pair(folder.Path("a.wav"), folder.Path("b.wav"), 3);
          ASSERT_TRUE(pair.Complete());
          if (!immutable) std::filesystem::create_directory(folder.Path("b.wav"));
          const PairPlacement placed = pair.Place();
          EXPECT_FALSE(placed.ok);
          EXPECT_EQ(placed.failedName, folder.Path("b.wav"));
        }
        if (immutable) {
          EXPECT_TRUE(SetImmutable(folder.Path("b.wav"), false));
          EXPECT_EQ(test::ReadWholeFile(folder.Path("b.wav")), kOld);
        }
        if (firstExisted) {
          EXPECT_EQ(test::ReadWholeFile(folder.Path("a.wav")), kOld);
          EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"a.wav", "b.wav"}));
        } else {
          EXPECT_EQ(folder.Entries(), std::vector<std::string>{"b.wav"});
        }
      }
    }
  }
}

// The case that mixed a pair before: in a shared folder the first old file
// is the user's own, the second another's (writable by all, but the sticky
// bit forbids renaming over it). Put in place unchecked, the second fails
// with "Operation not permitted" and the first is put back.
TEST(OutputPair, AnotherUsersFileInASharedFolderLeavesTheOldPair) {
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.what);
    ScratchFolder folder;
    MakeShared(folder);
    folder.Write("a.wav", kOld);
    ASSERT_EQ(chown(folder.Path("a.wav").c_str(), kNobody, kNobody), 0);
    folder.Write("b.wav", kOld);
    ASSERT_EQ(chmod(folder.Path("b.wav").c_str(), 0666), 0);
    const int status = AsNobody([&] {
      const WayChosen chosen(way);
      Pair pair(folder.Path("a.wav"), folder.Path("b.wav"), 3);
      if (!pair.Complete()) return 1;
      const PairPlacement placed = pair.Place();
      return !placed.ok && placed.failedName == folder.Path("b.wav") && placed.error == EPERM ? 0 : 2;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::ReadWholeFile(folder.Path("a.wav")), kOld);
    EXPECT_EQ(test::ReadWholeFile(folder.Path("b.wav")), kOld);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"a.wav", "b.wav"}));
  }
}

TEST(OutputPair, KnowsItsOwnHiddenNames) {
  const struct {
    const char* name;
    bool ours;
  } cases[] = {
      {".take QLW unfiltered.wav.Ab3dE9", true},
      {".take QLW filtered.wav.000000", true},
      {". QLW filtered.wav.zzzzzz", true},
      {"take QLW filtered.wav.Ab3dE9", false},   // not hidden
      {".take QLW filtered.wav.Ab3dE", false},   // five characters
      {".take QLW filtered.wav.Ab3d-9", false},  // not a letter or digit
      {".take.wav.Ab3dE9", false},               // not an output's
      {".take QLW filtered.wav", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsHiddenOutputName(c.name), c.ours) << c.name;
}

// What a run killed outright left (hidden temporary files nobody holds) goes
// at the next run; what a running program holds, and anything not this
// program's, stays.
TEST(OutputPair, ALaterRunRemovesOnlyTheLeftoversNobodyHolds) {
  const WayChosen named(kWays[1]);
  ScratchFolder folder;
  folder.Write(".take QLW unfiltered.wav.Left01", kOld);
  folder.Write(".take QLW filtered.wav.Left02", kOld);
  folder.Write(".take.wav.Keep03", kOld);
  folder.Write(".take QLW filtered.wav.Held04", kOld);
  const int held = open(folder.Path(".take QLW filtered.wav.Held04").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  // A writer of this very program, working: its hidden file is locked from
  // its creation on.
  OutputWavWriter working(folder.Path("song QLW filtered.wav"), 2, 176400, 10);
  const std::vector<std::string> before = folder.Entries();
  ASSERT_EQ(before.size(), 5u);

  RemoveAbandonedOutputs({folder.Path("x QLW unfiltered.wav")});
  std::vector<std::string> after = folder.Entries();
  EXPECT_EQ(after.size(), 3u);
  for (const char* gone : {".take QLW unfiltered.wav.Left01", ".take QLW filtered.wav.Left02"}) {
    EXPECT_EQ(std::count(after.begin(), after.end(), gone), 0) << gone;
  }
  EXPECT_EQ(std::count(after.begin(), after.end(), ".take.wav.Keep03"), 1);
  EXPECT_EQ(std::count(after.begin(), after.end(), ".take QLW filtered.wav.Held04"), 1);
  close(held);
}

}  // namespace
}  // namespace quenlow
