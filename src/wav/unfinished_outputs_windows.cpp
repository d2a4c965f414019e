#include <windows.h>

#include "wav/unfinished_outputs_system.h"

namespace quenlow::unfinished {

const platform::SystemError kRemovedError = ERROR_FILE_NOT_FOUND;

// Windows has no unnamed files: every output is a named temporary.
platform::FileHandle CreateUnnamedFile(const std::string&) { return platform::kNoFile; }

// The handle is closed first: a file still open cannot be moved over
// another. MoveFileExW replaces the old file in one step and returns once
// the move is on the disk.
platform::SystemError PutInPlace(Entry& entry, const std::string& finalName) {
  if (entry.file != platform::kNoFile) {
    if (const platform::SystemError error = platform::CloseFile(entry.file); error != 0) return error;
    entry.file = platform::kNoFile;
  }
  return platform::RenameOver(entry.name, finalName);
}

// A file still open cannot be moved: it is closed before the names change.
platform::SystemError GiveHiddenName(Entry& entry, const std::string&) {
  if (entry.file == platform::kNoFile) return 0;
  const platform::SystemError error = platform::CloseFile(entry.file);
  entry.file = platform::kNoFile;
  return error;
}

void Release(Entry& entry) {
  if (entry.file == platform::kNoFile) return;
  platform::CloseFile(entry.file);
  entry.file = platform::kNoFile;
}

}  // namespace quenlow::unfinished
