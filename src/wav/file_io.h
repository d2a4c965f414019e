// The few file system calls of the WAV code, each retried on interruption and
// on short transfers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quenlow {

// Reads up to `size` bytes from `offset`; returns how many were read before
// the end of the file or an error.
std::size_t ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t size);

// Writes all of `size` bytes; returns 0 or the errno of the failure.
int WriteAll(int fd, const std::uint8_t* bytes, std::size_t size);

// Whether a file of this name may be replaced by this user: 0 when there is
// none or it may be written, else EACCES or EROFS (protected), EISDIR (a
// folder) or the errno that stops the check.
int CheckReplaceable(const std::string& name);

}  // namespace quenlow
