#include "platform/file_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace quenlow::platform {
namespace {

std::atomic<bool> exchangeAllowed{true};

int Descriptor(FileHandle file) { return static_cast<int>(file); }

FileIdentity IdentityFrom(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(FileHandle file) {
  struct stat status {};
  if (fstat(Descriptor(file), &status) != 0) return std::nullopt;
  return IdentityFrom(status);
}

std::optional<FileIdentity> IdentityOfName(const std::string& name) {
  struct stat status {};
  if (stat(name.c_str(), &status) != 0) return std::nullopt;
  return IdentityFrom(status);
}

NameKind KindOfName(const std::string& name, SystemError* error) {
  struct stat status {};
  if (lstat(name.c_str(), &status) != 0) {
    if (errno == ENOENT) return NameKind::Free;
    if (error != nullptr) *error = errno;
    return NameKind::Unknown;
  }
  if (S_ISREG(status.st_mode)) return NameKind::File;
  if (S_ISLNK(status.st_mode)) return NameKind::Link;
  if (S_ISDIR(status.st_mode)) return NameKind::Folder;
  return NameKind::Other;
}

NameKind KindOfTarget(const std::string& name, SystemError* error) {
  struct stat status {};
  if (stat(name.c_str(), &status) != 0) {
    if (error != nullptr) *error = errno;
    return errno == ENOENT ? NameKind::Free : NameKind::Unknown;
  }
  if (S_ISREG(status.st_mode)) return NameKind::File;
  if (S_ISDIR(status.st_mode)) return NameKind::Folder;
  return NameKind::Other;
}

SystemError ExchangeNames(const std::string& first, const std::string& second) {
  if (!exchangeAllowed) return EINVAL;
  if (renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0) return 0;
  return errno;
}

// EINVAL: the file system has no exchange (FUSE, vfat and others); ENOSYS: the
// kernel has no renameat2.
bool ExchangeUnsupported(SystemError error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP; }

void AllowNameExchange(bool allowed) { exchangeAllowed = allowed; }

SystemError MoveToFreeName(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: a link is refused over an existing name
  // just the same, and the old name then goes.
  if (link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return EEXIST;
    // No links either (vfat): the plain rename, after one more look.
    struct stat status {};
    if (lstat(to.c_str(), &status) == 0) return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }
  unlink(from.c_str());
  return 0;
}

SystemError MoveOverQuietly(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

SystemError LinkExisting(const std::string& existing, const std::string& newName) {
  return link(existing.c_str(), newName.c_str()) == 0 ? 0 : errno;
}

std::string FolderOfPath(const std::string& path) {
  const std::size_t name = FileNamePosition(path);
  return name == 0 ? std::string(".") : path.substr(0, name);
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// flock belongs to the open file, not to the process: it goes with the last
// descriptor, so a program killed outright gives it back too.
bool LockTemporaryFile(FileHandle file) {
  while (flock(Descriptor(file), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return errno == ENOLCK || errno == EOPNOTSUPP;  // no locks here: nothing to tell by
  }
  return true;
}

int RemoveUnheldFiles(const std::string& folder, const std::function<bool(const std::string&)>& isOurs) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return 0;
  const std::string prefix = folder == "." ? std::string() : folder;
  int removed = 0;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (!isOurs(name)) continue;
    const std::string path = prefix + name;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened {};
    struct stat named {};
    // Only a regular file that still stands under the name it was found by,
    // and that nobody holds.
    const bool unheld = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                        lstat(path.c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
                        named.st_dev == opened.st_dev;
    if (unheld && unlink(path.c_str()) == 0) ++removed;
    close(fd);
  }
  closedir(listing);
  return removed;
}

}  // namespace quenlow::platform
