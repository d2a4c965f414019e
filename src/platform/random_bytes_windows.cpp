#define _CRT_RAND_S
#include <stdlib.h>

#include "platform/random_bytes.h"

namespace quenlow::platform {

bool SystemRandomBytes(void* out, std::size_t count) {
  auto* bytes = static_cast<unsigned char*>(out);
  while (count > 0) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) return false;
    for (int i = 0; i < 4 && count > 0; ++i, --count) *bytes++ = static_cast<unsigned char>(value >> (8 * i));
  }
  return true;
}

}  // namespace quenlow::platform
