// SHA-256 of a byte stream, for fixing output bits in tests and comparing
// them across machines without any library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quenlow::test {

class Sha256 {
 public:
  Sha256();
  void Update(const std::uint8_t* bytes, std::size_t size);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> block_{};
  std::size_t blockFill_ = 0;
  std::uint64_t totalBytes_ = 0;
};

}  // namespace quenlow::test
