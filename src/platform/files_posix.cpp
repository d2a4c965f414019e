#include "platform/files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace quenlow::platform {
namespace {

// One system call never moves more than this; the kernel caps a transfer a
// little below 2 GiB anyway, and smaller pieces keep each call short.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

int Descriptor(FileHandle file) { return static_cast<int>(file); }

std::string FolderOf(const std::string& path) {
  const std::size_t name = FileNamePosition(path);
  return name == 0 ? std::string(".") : path.substr(0, name);
}

// A rename is only durable once the folder that holds the name is synced.
// The file is complete and in place by then, so a folder that cannot be
// synced (some file systems refuse) is not a failure of the write.
void SyncFolderOf(const std::string& path) {
  const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The mode a newly created file gets: 0666 less the process's umask.
mode_t CreatedFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Calls put(done, piece) until size bytes are written; put returns what
// write or pwrite returns.
template <typename Put>
SystemError WriteEvery(std::size_t size, Put put) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t written = put(done, std::min(size - done, kMaxTransfer));
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // A write that takes nothing without an error would loop for ever.
    if (written == 0) return EIO;
    done += static_cast<std::size_t>(written);
  }
  return 0;
}

}  // namespace

std::size_t FileNamePosition(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string ErrorText(SystemError error) { return std::strerror(error); }

bool FileOpens(const std::string& name) {
  if (name.empty()) return false;
  const OpenedFile file = OpenForReading(name);
  if (file.handle == kNoFile) return false;
  struct stat status {};
  const bool isFolder = fstat(Descriptor(file.handle), &status) == 0 && S_ISDIR(status.st_mode);
  CloseFile(file.handle);
  return !isFolder;
}

bool PathExists(const std::string& name) {
  struct stat status {};
  return stat(name.c_str(), &status) == 0;
}

// Non-blocking, so that a named pipe with no writer fails or passes at once
// instead of hanging the dialogue; only regular files are read further.
OpenedFile OpenForReading(const std::string& name) {
  const int fd = open(name.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {kNoFile, errno};
  return {fd, 0};
}

std::optional<std::uint64_t> RegularFileSize(FileHandle file) {
  struct stat status {};
  if (fstat(Descriptor(file), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
}

std::optional<FileState> StateOf(FileHandle file) {
  struct stat status {};
  if (fstat(Descriptor(file), &status) != 0) return std::nullopt;
  return FileState{status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0,
                   std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec,
                   std::int64_t{status.st_ctim.tv_sec} * 1000000000 + status.st_ctim.tv_nsec,
                   static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

void WillReadInOrder(FileHandle file) { (void)posix_fadvise(Descriptor(file), 0, 0, POSIX_FADV_SEQUENTIAL); }

std::size_t ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t position = offset + done;
    if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) break;
    const std::size_t piece = std::min(size - done, kMaxTransfer);
    const ssize_t got = pread(Descriptor(file), out + done, piece, static_cast<off_t>(position));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

SystemError WriteAll(FileHandle file, const std::uint8_t* bytes, std::size_t size) {
  return WriteEvery(size, [&](std::size_t done, std::size_t piece) { return write(Descriptor(file), bytes + done, piece); });
}

SystemError WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
  return WriteEvery(size, [&](std::size_t done, std::size_t piece) {
    return pwrite(Descriptor(file), bytes + done, piece, static_cast<off_t>(offset + done));
  });
}

void StartWriteBack(FileHandle file, std::uint64_t offset, std::size_t size) {
  // A size of 0 would mean "to the end of the file".
  if (size == 0) return;
  (void)sync_file_range(Descriptor(file), static_cast<off64_t>(offset), static_cast<off64_t>(size),
                        SYNC_FILE_RANGE_WRITE);
}

void DropWritten(FileHandle file, std::uint64_t offset, std::uint64_t size) {
  if (size == 0) return;
  constexpr unsigned kWriteAndWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  (void)sync_file_range(Descriptor(file), static_cast<off64_t>(offset), static_cast<off64_t>(size), kWriteAndWait);
  (void)posix_fadvise(Descriptor(file), static_cast<off_t>(offset), static_cast<off_t>(size), POSIX_FADV_DONTNEED);
}

SystemError CloseFile(FileHandle file) {
  // On Linux the descriptor is gone even when close is interrupted.
  if (close(Descriptor(file)) != 0 && errno != EINTR) return errno;
  return 0;
}

OpenedFile CreateTemporaryFile(std::string& pattern) {
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return {kNoFile, errno};
  // mkostemp creates the file private (0600); the result should carry the
  // mode any new file would get. A file system without modes is no reason to
  // fail, so the outcome is not checked.
  (void)fchmod(fd, CreatedFileMode());
  return {fd, 0};
}

SystemError RenameOver(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) return errno;
  SyncFolderOf(to);
  return 0;
}

// The folder comes first: in a folder this user may not write to nothing is
// replaced, whatever the file's own bits say.
ReplaceCheck CheckReplaceable(const std::string& name) {
  const std::string folder = FolderOf(name);
  struct stat folderStatus {};
  if (stat(folder.c_str(), &folderStatus) != 0) return {Replaceable::Unknown, errno};
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    const int error = errno;
    if (error == EROFS) return {Replaceable::ReadOnlyFileSystem, error};
    if (error == EACCES || error == EPERM) return {Replaceable::FolderNotWritable, error};
    return {Replaceable::Unknown, error};
  }
  struct stat status {};
  if (lstat(name.c_str(), &status) != 0) {
    return errno == ENOENT ? ReplaceCheck{} : ReplaceCheck{Replaceable::Unknown, errno};
  }
  // A link is replaced itself, not what it leads to; one that leads to a
  // folder is taken for the folder all the same.
  struct stat target {};
  if (S_ISDIR(status.st_mode) || (S_ISLNK(status.st_mode) && stat(name.c_str(), &target) == 0 && S_ISDIR(target.st_mode))) {
    return {Replaceable::Folder, EISDIR};
  }
  if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode)) return {Replaceable::NotAFile, EINVAL};
  // In a sticky folder (/tmp, a shared one) only the owner of the file or of
  // the folder may rename over it; the superuser may anyway.
  const uid_t user = geteuid();
  if ((folderStatus.st_mode & S_ISVTX) != 0 && user != 0 && status.st_uid != user && folderStatus.st_uid != user) {
    return {Replaceable::OthersInSharedFolder, EPERM};
  }
  if (S_ISLNK(status.st_mode) || faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) == 0) return {};
  const int error = errno;
  if (error == EROFS) return {Replaceable::ReadOnlyFileSystem, error};
  if (error == EACCES || error == EPERM) return {Replaceable::Protected, error};
  return {Replaceable::Unknown, error};
}

LinkTarget FollowLinks(const std::string& name) {
  // As many links as the kernel itself follows before it gives up.
  constexpr int kMostLinks = 40;
  std::string path = name;
  for (int followed = 0; followed <= kMostLinks; ++followed) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return {path, 0};
    std::string target(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length < 0) return {path, errno};
    target.resize(static_cast<std::size_t>(length));
    // A relative target is read from the link's own folder.
    const std::size_t folderEnd = FileNamePosition(path);
    path = !target.empty() && target[0] == '/' ? target : path.substr(0, folderEnd) + target;
  }
  return {name, ELOOP};
}

void RemoveFile(const char* name) { unlink(name); }

}  // namespace quenlow::platform
