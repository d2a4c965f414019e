#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "wav/unfinished_outputs_system.h"

namespace quenlow::unfinished {
namespace {

constexpr int kLinkAttempts = 100;

std::string FolderOf(const std::string& path) { return path.substr(0, platform::FileNamePosition(path)); }

int Descriptor(platform::FileHandle file) { return static_cast<int>(file); }

// A name for the file's descriptor that linkat follows to the file itself.
std::string DescriptorPath(platform::FileHandle file) { return "/proc/self/fd/" + std::to_string(Descriptor(file)); }

// Links an unnamed file in under a fresh hidden name beside the final one,
// remembered in `entry` before it exists.
int LinkUnderTemporaryName(Entry& entry, const std::string& finalName) {
  const std::string pattern = TemporaryPattern(finalName);
  for (int attempt = 0; attempt < kLinkAttempts; ++attempt) {
    entry.name = FreshName(pattern);
    if (linkat(AT_FDCWD, DescriptorPath(entry.file).c_str(), AT_FDCWD, entry.name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
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

}  // namespace

const platform::SystemError kRemovedError = ENOENT;

// None where the file system or the kernel has no unnamed files, or where
// the file could not be named later (linkat reaches it through /proc).
platform::FileHandle CreateUnnamedFile(const std::string& finalName) {
  if (access("/proc/self/fd", X_OK) != 0) return platform::kNoFile;
  std::string folder = FolderOf(finalName);
  if (folder.empty()) folder = ".";
  const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  return fd < 0 ? platform::kNoFile : fd;
}

platform::SystemError PutInPlace(Entry& entry, const std::string& finalName) {
  // A file replaced keeps the permission bits the user gave it.
  struct stat old {};
  if (stat(finalName.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    (void)fchmod(Descriptor(entry.file), old.st_mode & 0777);
  }

  if (entry.name.empty()) {
    // A free name takes the file at once; an existing file is replaced by
    // way of a hidden name, since only a rename replaces a name in one step.
    if (linkat(AT_FDCWD, DescriptorPath(entry.file).c_str(), AT_FDCWD, finalName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      close(Descriptor(entry.file));
      entry.file = platform::kNoFile;
      SyncFolderOf(finalName);
      return 0;
    }
    if (errno != EEXIST) return errno;
    if (const int error = LinkUnderTemporaryName(entry, finalName); error != 0) return error;
  }
  if (const platform::SystemError error = platform::RenameOver(entry.name, finalName); error != 0) return error;
  close(Descriptor(entry.file));
  entry.file = platform::kNoFile;
  return 0;
}

platform::SystemError GiveHiddenName(Entry& entry, const std::string& finalName) {
  struct stat old {};
  if (stat(finalName.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    (void)fchmod(Descriptor(entry.file), old.st_mode & 0777);
  }
  return entry.name.empty() ? LinkUnderTemporaryName(entry, finalName) : 0;
}

void Release(Entry& entry) {
  if (entry.file == platform::kNoFile) return;
  close(Descriptor(entry.file));
  entry.file = platform::kNoFile;
}

}  // namespace quenlow::unfinished
