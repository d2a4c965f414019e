#include "platform/files.h"

#include <windows.h>

namespace quenlow::platform {

SystemError FlushToDisk(FileHandle file) {
  return FlushFileBuffers(reinterpret_cast<HANDLE>(file)) ? 0 : static_cast<SystemError>(GetLastError());
}

}  // namespace quenlow::platform
