// A flush to disk that fails on request, linked into a test in place of the
// system's (the file layer keeps its flush in a file of its own). Until a
// failure is asked for, it succeeds without touching the disk.
#pragma once

namespace quenlow::test {

// The `nth` flush from now on, and every one after it, fails; 0 lets all
// succeed again.
void FailFlushesFrom(int nth);

}  // namespace quenlow::test
