// The temporary files of the outputs being written, so that a program ended
// by a signal (Ctrl+C, a closed terminal) can remove them on its way out
// instead of leaving them beside the user's recording.
#pragma once

namespace quenlow {

// Remembers a temporary file; returns its slot, or -1 when all are taken
// (the file is then only removed by its writer).
int RememberUnfinishedOutput(const char* path);
// Forgets it once it has been renamed into place or removed.
void ForgetUnfinishedOutput(int slot);
// Removes every remembered file. Safe in a signal handler: it only reads
// fixed buffers and calls unlink.
void RemoveUnfinishedOutputs();

}  // namespace quenlow
