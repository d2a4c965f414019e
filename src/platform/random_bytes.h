// Bytes from the operating system's own random source, for choices a
// listener must not be able to predict (getrandom on Linux, rand_s on
// Windows).
#pragma once

#include <cstddef>

namespace quenlow::platform {

// Fills `out` with `count` random bytes; false when the system gave none.
bool SystemRandomBytes(void* out, std::size_t count);

}  // namespace quenlow::platform
