#include "wav/unfinished_outputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <utility>

namespace quenlow {
namespace {

// Leaves room in a 255-byte file name for the leading dot and ".XXXXXX".
constexpr std::size_t kMaxTemporaryBaseLength = 200;
constexpr int kLinkAttempts = 100;

struct Entry {
  int fd = -1;
  std::string name;      // the temporary name; empty while the file has none
  bool removed = false;  // taken away by the clean-up
};

std::mutex registryLock;
std::map<int, Entry> remembered;
int nextSlot = 0;
std::atomic<bool> unnamedAllowed{true};

std::string FolderOf(const std::string& path) { return path.substr(0, platform::FileNamePosition(path)); }

std::string TemporaryPattern(const std::string& finalName) {
  const std::string folder = FolderOf(finalName);
  return folder + "." + finalName.substr(folder.size()).substr(0, kMaxTemporaryBaseLength) + ".XXXXXX";
}

// An unnamed file in the folder; -1 where the file system or the kernel has
// none, or where it could not be named later (linkat reaches it through
// /proc).
int CreateUnnamed(const std::string& finalName) {
  if (!unnamedAllowed || access("/proc/self/fd", X_OK) != 0) return -1;
  std::string folder = FolderOf(finalName);
  if (folder.empty()) folder = ".";
  return open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

// A name for the file's descriptor that linkat follows to the file itself.
std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The pattern with its trailing X's replaced by random letters and digits.
std::string FreshName(const std::string& pattern) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 random{std::random_device{}()};
  std::string name = pattern;
  for (std::size_t i = name.rfind("XXXXXX"); i < name.size(); ++i) name[i] = kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

// Links an unnamed file in under a fresh hidden name beside the final one,
// remembered in `entry` before it exists.
int LinkUnderTemporaryName(Entry& entry, const std::string& finalName) {
  const std::string pattern = TemporaryPattern(finalName);
  for (int attempt = 0; attempt < kLinkAttempts; ++attempt) {
    entry.name = FreshName(pattern);
    if (linkat(AT_FDCWD, DescriptorPath(entry.fd).c_str(), AT_FDCWD, entry.name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return 0;
    }
    const int error = errno;
    entry.name.clear();
    if (error != EEXIST) return error;
  }
  return EEXIST;
}

// A new name is only durable once the folder that holds it is synced. The
// file is complete and in place by then, so a folder that cannot be synced
// (some file systems refuse) is not a failure of the write.
void SyncFolderOf(const std::string& path) {
  std::string folder = FolderOf(path);
  if (folder.empty()) folder = ".";
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

void RemoveAllLocked() {
  for (auto& [slot, entry] : remembered) {
    if (!entry.name.empty()) platform::RemoveFile(entry.name.c_str());
    entry.name.clear();
    entry.removed = true;
  }
}

}  // namespace

UnfinishedOutput CreateUnfinishedOutput(const std::string& finalName) {
  std::lock_guard hold(registryLock);
  // The entry is made before the file, so that running out of memory here
  // cannot leave a file nobody knows of.
  const int slot = nextSlot++;
  Entry& entry = remembered[slot];
  entry.fd = CreateUnnamed(finalName);
  if (entry.fd < 0) {
    entry.name = TemporaryPattern(finalName);
    const platform::OpenedFile file = platform::CreateTemporaryFile(entry.name);
    if (file.handle == platform::kNoFile) {
      remembered.erase(slot);
      return {platform::kNoFile, -1, file.error};
    }
    entry.fd = static_cast<int>(file.handle);
  }
  return {entry.fd, slot, 0};
}

platform::SystemError PutUnfinishedOutputInPlace(int slot, const std::string& finalName) {
  std::lock_guard hold(registryLock);
  const auto found = remembered.find(slot);
  if (found == remembered.end() || found->second.removed) return ENOENT;  // removed by the clean-up
  Entry& entry = found->second;

  // A file replaced keeps the permission bits the user gave it.
  struct stat old {};
  if (stat(finalName.c_str(), &old) == 0 && S_ISREG(old.st_mode)) (void)fchmod(entry.fd, old.st_mode & 0777);

  if (entry.name.empty()) {
    // A free name takes the file at once; an existing file is replaced by
    // way of a hidden name, since only a rename replaces a name in one step.
    if (linkat(AT_FDCWD, DescriptorPath(entry.fd).c_str(), AT_FDCWD, finalName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      close(entry.fd);
      remembered.erase(found);
      SyncFolderOf(finalName);
      return 0;
    }
    if (errno != EEXIST) return errno;
    if (const int error = LinkUnderTemporaryName(entry, finalName); error != 0) return error;
  }
  if (const platform::SystemError error = platform::RenameOver(entry.name, finalName); error != 0) return error;
  close(entry.fd);
  remembered.erase(found);
  return 0;
}

void DiscardUnfinishedOutput(int slot) {
  std::lock_guard hold(registryLock);
  const auto found = remembered.find(slot);
  if (found == remembered.end()) return;
  if (!found->second.name.empty()) platform::RemoveFile(found->second.name.c_str());
  close(found->second.fd);
  remembered.erase(found);
}

void RemoveUnfinishedOutputs() {
  std::lock_guard hold(registryLock);
  RemoveAllLocked();
}

void RemoveUnfinishedOutputsForGood() {
  registryLock.lock();  // never given back: the program is ending
  RemoveAllLocked();
}

void AllowUnnamedOutputs(bool allowed) { unnamedAllowed = allowed; }

}  // namespace quenlow
