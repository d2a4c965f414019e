#include "digest/sha256_state.h"

#include <nettle/sha2.h>

namespace quenlow::digest {

struct Sha256State::Parts {
  sha256_ctx context;
};

Sha256State::Sha256State() : parts_(std::make_unique<Parts>()) { sha256_init(&parts_->context); }
Sha256State::~Sha256State() = default;

void Sha256State::Update(const std::uint8_t* bytes, std::size_t size) { sha256_update(&parts_->context, size, bytes); }

bool Sha256State::Finish(std::array<std::uint8_t, 32>& digest) {
  static_assert(SHA256_DIGEST_SIZE == 32);
  sha256_digest(&parts_->context, digest.size(), digest.data());
  return true;
}

}  // namespace quenlow::digest
