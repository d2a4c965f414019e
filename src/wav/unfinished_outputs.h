// The temporary files of the outputs being written, so that a program ended
// by a signal (Ctrl+C, a closed terminal) can remove them on its way out
// instead of leaving them beside the user's recording.
//
// Creating, renaming and removing go through one lock with the clean-up, so
// that an interruption never falls between a file appearing and its being
// remembered, or between its rename and its being forgotten.
#pragma once

#include <string>

namespace quenlow {

struct UnfinishedOutput {
  int fd = -1;     // open for writing; -1 when it could not be made (errno says why)
  int slot = -1;   // where the clean-up finds it
};

// Creates a temporary file from `pattern`, which ends in "XXXXXX" as for
// mkostemp, and remembers it.
UnfinishedOutput CreateUnfinishedOutput(std::string pattern);
// Renames the file into place and forgets it. Returns 0, or errno.
int RenameUnfinishedOutput(int slot, const std::string& finalName);
// Removes the file and forgets it.
void DiscardUnfinishedOutput(int slot);
// Removes every remembered file.
void RemoveUnfinishedOutputs();
// The same, for a program on its way out: no temporary file can be made,
// renamed or removed after it, so nothing new is left behind.
void RemoveUnfinishedOutputsForGood();

}  // namespace quenlow
