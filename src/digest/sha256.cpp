#include "digest/sha256.h"

#include <nettle/sha2.h>

#include <vector>

#include "platform/files.h"

namespace quenlow {
namespace {

std::string Hex(const std::uint8_t (&digest)[SHA256_DIGEST_SIZE]) {
  static const char* const kDigits = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

}  // namespace

std::string Sha256Hex(const std::uint8_t* bytes, std::size_t size) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, size, bytes);
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  return Hex(digest);
}

std::optional<std::string> Sha256OfFile(const std::string& fileName) {
  const platform::OpenedFile opened = platform::OpenForReading(fileName);
  if (opened.handle == platform::kNoFile) return std::nullopt;
  const std::optional<std::uint64_t> size = platform::RegularFileSize(opened.handle);
  sha256_ctx context;
  sha256_init(&context);
  std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
  std::uint64_t offset = 0;
  bool whole = size.has_value();
  while (whole && offset < *size) {
    const std::size_t got = platform::ReadAt(opened.handle, offset, buffer.data(), buffer.size());
    if (got == 0) whole = false;
    sha256_update(&context, got, buffer.data());
    offset += got;
  }
  platform::CloseFile(opened.handle);
  if (!whole) return std::nullopt;
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof digest, digest);
  return Hex(digest);
}

}  // namespace quenlow
