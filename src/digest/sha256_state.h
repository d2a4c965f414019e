// One SHA-256 computation under way, by the system's own means: nettle on
// POSIX (sha256_state_posix.cpp), the Cryptography API: Next Generation on
// Windows (sha256_state_windows.cpp), which needs no library beside the .exe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quenlow::digest {

class Sha256State {
 public:
  Sha256State();
  ~Sha256State();
  Sha256State(const Sha256State&) = delete;
  Sha256State& operator=(const Sha256State&) = delete;

  void Update(const std::uint8_t* bytes, std::size_t size);
  // The digest of everything given; false when the system could not make it.
  bool Finish(std::array<std::uint8_t, 32>& digest);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace quenlow::digest
