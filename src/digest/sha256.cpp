#include "digest/sha256.h"

#include <array>
#include <vector>

#include "digest/sha256_state.h"
#include "platform/files.h"

namespace quenlow {
namespace {

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
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
  digest::Sha256State state;
  state.Update(bytes, size);
  std::array<std::uint8_t, 32> digest{};
  return state.Finish(digest) ? Hex(digest) : std::string();
}

std::optional<std::string> Sha256OfFile(const std::string& fileName) {
  const platform::OpenedFile opened = platform::OpenForReading(fileName);
  if (opened.handle == platform::kNoFile) return std::nullopt;
  const std::optional<std::uint64_t> size = platform::RegularFileSize(opened.handle);
  digest::Sha256State state;
  std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
  std::uint64_t offset = 0;
  bool whole = size.has_value();
  while (whole && offset < *size) {
    const std::size_t got = platform::ReadAt(opened.handle, offset, buffer.data(), buffer.size());
    if (got == 0) whole = false;
    state.Update(buffer.data(), got);
    offset += got;
  }
  platform::CloseFile(opened.handle);
  std::array<std::uint8_t, 32> digest{};
  if (!whole || !state.Finish(digest)) return std::nullopt;
  return Hex(digest);
}

}  // namespace quenlow
