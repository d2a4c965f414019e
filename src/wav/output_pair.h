// The outputs of one job as a pair: checked before any work, so that what
// can be refused is refused before the job, and put in place together at its
// end, so that a failure leaves the old pair and success the new one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_names.h"
#include "platform/files.h"
#include "wav/wav_writer.h"

namespace quenlow {

// Why an output cannot replace what stands under its name. Each program
// words these its own way.
enum class OutputRefusalReason {
  None,
  WriteProtected,        // the user protected the file
  IsFolder,              // a folder has the name
  NotAFile,              // a pipe, a device or the like has the name
  FolderNotWritable,     // no permission to write in the folder
  ReadOnlyFileSystem,    // the folder is on a read-only medium or mount
  OthersInSharedFolder,  // another user's file in a shared (sticky) folder
  IsTheInput,            // the name leads to the recording itself
  Unknown,               // the check itself failed; see error
};

struct OutputRefusal {
  OutputRefusalReason reason = OutputRefusalReason::None;
  std::string name;                 // the output refused
  platform::SystemError error = 0;  // what the system said, where it said anything
  explicit operator bool() const { return reason != OutputRefusalReason::None; }
};

// The first of the outputs that may not be replaced, checked in order;
// `input` is the recording the job reads, which no output may be (through a
// link or another name of it).
OutputRefusal CheckOutputsReplaceable(const std::vector<std::string>& names,
                                      const std::optional<platform::FileIdentity>& input);

// Removes the hidden temporary files that runs of this program killed
// outright left beside these outputs: those of any output name in the
// outputs' folders that no running program holds.
void RemoveAbandonedOutputs(const std::vector<std::string>& names);

// Whether a file name is one of this program's hidden temporary files.
bool IsHiddenOutputName(const std::string& fileName);

// The outcome of putting outputs in place: ok, or which one failed and why.
struct PairPlacement {
  bool ok = true;
  std::string failedName;
  platform::SystemError error = 0;
};

// Gives the complete outputs their final names together: either all take
// them, or none does and the old files stay. Each writer must have completed
// without failure.
PairPlacement PutOutputsInPlace(const std::vector<OutputWavWriter*>& writers);

}  // namespace quenlow
