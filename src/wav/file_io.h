// The few file system calls of the WAV code, each retried on interruption and
// on short transfers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quenlow {

// Reads up to `size` bytes from `offset`; returns how many were read before
// the end of the file or an error.
std::size_t ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t size);

// What tells a changed file: its length and when it was last written to
// (nanoseconds). Nothing when the system cannot say.
struct FileState {
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  bool operator==(const FileState&) const = default;
};
std::optional<FileState> StateOf(int fd);

// Writes all of `size` bytes; returns 0 or the errno of the failure.
int WriteAll(int fd, const std::uint8_t* bytes, std::size_t size);

// Has the system start putting bytes [offset, offset + size) of the file on
// disk now, without waiting for them: a file written in pieces then keeps
// the disk busy while the next pieces are made, and the final flush has
// little left to do. A hint: failures show at that flush.
void StartWriteBack(int fd, std::uint64_t offset, std::size_t size);

// Waits until bytes [offset, offset + size) of the file are on disk and lets
// the system forget its copy of them: outputs of many gigabytes then do not
// push everything else out of memory, nor cost the time of reclaiming it.
// A hint too: failures show at the final flush.
void DropWritten(int fd, std::uint64_t offset, std::uint64_t size);

// Whether a file of this name may be replaced by this user: 0 when there is
// none or it may be written, else EACCES or EROFS (protected), EISDIR (a
// folder) or the errno that stops the check.
int CheckReplaceable(const std::string& name);

}  // namespace quenlow
