#include "platform/random_bytes.h"

#include <sys/random.h>

#include <cerrno>

namespace quenlow::platform {

bool SystemRandomBytes(void* out, std::size_t count) {
  auto* bytes = static_cast<unsigned char*>(out);
  while (count > 0) {
    const ssize_t got = getrandom(bytes, count, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += got;
    count -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace quenlow::platform
