// The files of the outputs being written, and how each is put in place.
//
// Where the file system allows it (Linux O_TMPFILE: ext4, xfs, btrfs,
// tmpfs; on Windows a hidden temporary file marked for deletion while it is
// written), an output is written as a file that vanishes with the program
// however it ends, even killed outright, and it is given its name only once
// complete. Elsewhere it is a named temporary file beside the final
// name, remembered here so that a program ended by a signal (Ctrl+C, a closed
// terminal) can remove it on its way out.
//
// Creating, naming and removing go through one lock with the clean-up, so
// that an interruption never falls between a file appearing and its being
// remembered, or between its rename and its being forgotten.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

namespace quenlow {

// The registry is unfinished_outputs.cpp; what each system does to create
// and name the files is in unfinished_outputs_posix.cpp and
// unfinished_outputs_windows.cpp.
struct UnfinishedOutput {
  platform::FileHandle file = platform::kNoFile;  // open for writing, unless it could not be made
  int slot = -1;                                  // where the clean-up finds it
  platform::SystemError error = 0;                // why it could not be made
};

// Creates the file for an output to be called `finalName`: unnamed in its
// folder where possible, else a hidden temporary beside it, made with the
// mode any new file gets.
UnfinishedOutput CreateUnfinishedOutput(const std::string& finalName);
// Gives the complete file its final name, keeping the permission bits of a
// file it replaces, closes it and forgets it. Returns 0, or the failure; on
// a failure the file stays unfinished (DiscardUnfinishedOutput removes it).
platform::SystemError PutUnfinishedOutputInPlace(int slot, const std::string& finalName);
// Gives several complete files their final names together (see
// output_pair.h): either every one takes its name, or none does and the old
// files stay. Returns nothing, or which failed and why; the files then stay
// unfinished.
struct PlacementFailure {
  std::size_t index = 0;
  platform::SystemError error = 0;
};
std::optional<PlacementFailure> PutUnfinishedOutputsInPlace(const std::vector<int>& slots,
                                                            const std::vector<std::string>& finalNames);
// Closes and removes the file and forgets it.
void DiscardUnfinishedOutput(int slot);
// Removes every remembered named file.
void RemoveUnfinishedOutputs();
// The same, for a program on its way out: no output can be made, named or
// removed after it, so nothing new is left behind.
void RemoveUnfinishedOutputsForGood();

// False makes every output a named temporary, as on a file system without
// unnamed files; for tests.
void AllowUnnamedOutputs(bool allowed);

}  // namespace quenlow
