#include "digest/sha256_state.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <climits>

namespace quenlow::digest {

struct Sha256State::Parts {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool failed = false;
};

Sha256State::Sha256State() : parts_(std::make_unique<Parts>()) {
  parts_->failed = !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&parts_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
                   !BCRYPT_SUCCESS(BCryptCreateHash(parts_->algorithm, &parts_->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256State::~Sha256State() {
  if (parts_->hash != nullptr) BCryptDestroyHash(parts_->hash);
  if (parts_->algorithm != nullptr) BCryptCloseAlgorithmProvider(parts_->algorithm, 0);
}

// The call takes at most 4 GiB less a byte at a time.
void Sha256State::Update(const std::uint8_t* bytes, std::size_t size) {
  while (!parts_->failed && size > 0) {
    const auto part = static_cast<ULONG>(std::min<std::size_t>(size, ULONG_MAX));
    parts_->failed = !BCRYPT_SUCCESS(BCryptHashData(parts_->hash, const_cast<PUCHAR>(bytes), part, 0));
    bytes += part;
    size -= part;
  }
}

bool Sha256State::Finish(std::array<std::uint8_t, 32>& digest) {
  if (parts_->failed) return false;
  parts_->failed = true;  // a hash is finished once
  return BCRYPT_SUCCESS(BCryptFinishHash(parts_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
}

}  // namespace quenlow::digest
