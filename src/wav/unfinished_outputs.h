// The temporary files of the outputs being written, so that a program ended
// by a signal (Ctrl+C, a closed terminal) can remove them on its way out
// instead of leaving them beside the user's recording.
//
// Creating, renaming and removing go through one lock with the clean-up, so
// that an interruption never falls between a file appearing and its being
// remembered, or between its rename and its being forgotten.
#pragma once

#include <string>

#include "platform/files.h"

namespace quenlow {

struct UnfinishedOutput {
  platform::FileHandle file = platform::kNoFile;  // open for writing, unless it could not be made
  int slot = -1;                                  // where the clean-up finds it
  platform::SystemError error = 0;                // why it could not be made
};

// Creates a temporary file from `pattern`, which ends in "XXXXXX", and
// remembers it.
UnfinishedOutput CreateUnfinishedOutput(std::string pattern);
// Renames the file into place and forgets it. False when the clean-up has
// already removed it, or when the rename failed (`error` then says why).
bool RenameUnfinishedOutput(int slot, const std::string& finalName, platform::SystemError& error);
// Removes the file and forgets it.
void DiscardUnfinishedOutput(int slot);
// Removes every remembered file.
void RemoveUnfinishedOutputs();
// The same, for a program on its way out: no temporary file can be made,
// renamed or removed after it, so nothing new is left behind.
void RemoveUnfinishedOutputsForGood();

}  // namespace quenlow
