#include "platform/files.h"

#include <unistd.h>

#include <cerrno>

namespace quenlow::platform {

SystemError FlushToDisk(FileHandle file) { return fsync(static_cast<int>(file)) == 0 ? 0 : errno; }

}  // namespace quenlow::platform
