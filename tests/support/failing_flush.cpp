#include "support/failing_flush.h"

#include "platform/files.h"

namespace quenlow::test {
namespace {

int flushesLeft = -1;  // flushes that still succeed; negative: all of them

}  // namespace

void FailFlushesFrom(int nth) { flushesLeft = nth > 0 ? nth - 1 : -1; }

}  // namespace quenlow::test

namespace quenlow::platform {

// 5 is EIO on Linux and ERROR_ACCESS_DENIED on Windows: a failure either way.
SystemError FlushToDisk(FileHandle) {
  if (test::flushesLeft < 0) return 0;
  if (test::flushesLeft == 0) return 5;
  --test::flushesLeft;
  return 0;
}

}  // namespace quenlow::platform
