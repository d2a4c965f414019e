#include "wav/file_io.h"

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

int CheckReplaceable(const std::string& name) {
  struct stat status {};
  if (stat(name.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
  if (S_ISDIR(status.st_mode)) return EISDIR;
  return access(name.c_str(), W_OK) == 0 ? 0 : errno;
}

}  // namespace quenlow
