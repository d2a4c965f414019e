#include "wav/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace quenlow {

namespace {

// One system call never moves more than this; the kernel caps a transfer a
// little below 2 GiB anyway, and smaller pieces keep each call short.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

}  // namespace

std::size_t ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t position = offset + done;
    if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) break;
    const std::size_t piece = std::min(size - done, kMaxTransfer);
    const ssize_t got = pread(fd, out + done, piece, static_cast<off_t>(position));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::optional<FileState> StateOf(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return std::nullopt;
  return FileState{status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0,
                   std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec};
}

int WriteAll(int fd, const std::uint8_t* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const std::size_t piece = std::min(size - done, kMaxTransfer);
    const ssize_t put = write(fd, bytes + done, piece);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // A write that takes nothing without an error would loop for ever.
    if (put == 0) return EIO;
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

void StartWriteBack(int fd, std::uint64_t offset, std::size_t size) {
  // A size of 0 would mean "to the end of the file".
  if (size == 0) return;
  (void)sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(size), SYNC_FILE_RANGE_WRITE);
}

void DropWritten(int fd, std::uint64_t offset, std::uint64_t size) {
  if (size == 0) return;
  constexpr unsigned kWriteAndWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  (void)sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(size), kWriteAndWait);
  (void)posix_fadvise(fd, static_cast<off_t>(offset), static_cast<off_t>(size), POSIX_FADV_DONTNEED);
}

int CheckReplaceable(const std::string& name) {
  struct stat status {};
  if (stat(name.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(status.st_mode)) return EISDIR;
  return access(name.c_str(), W_OK) == 0 ? 0 : errno;
}

}  // namespace quenlow
