// SHA-256 digests, as lower-case hex, of what the outputs came from: the
// recording and the coefficient file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quenlow {

// Empty in the unlikely case that the system cannot make the digest.
std::string Sha256Hex(const std::uint8_t* bytes, std::size_t size);

// The whole file's digest, read through the file layer; nothing when it
// cannot be read to its end.
std::optional<std::string> Sha256OfFile(const std::string& fileName);

}  // namespace quenlow
