// What each system provides to the registry of unfinished outputs
// (unfinished_outputs.cpp): one implementation in unfinished_outputs_posix.cpp
// and one in unfinished_outputs_windows.cpp. The registry holds the lock; all
// of these are called under it.
#pragma once

#include <string>

#include "platform/files.h"

namespace quenlow::unfinished {

struct Entry {
  platform::FileHandle file = platform::kNoFile;  // kNoFile once closed
  std::string name;                               // the temporary name; empty while the file has none
  bool removed = false;                           // taken away by the clean-up
};

// The failure reported for an output the clean-up has already removed.
extern const platform::SystemError kRemovedError;

// The hidden temporary name beside `finalName`, its last six characters
// "XXXXXX" to be made unique.
std::string TemporaryPattern(const std::string& finalName);

// A file in the folder of `finalName`, open for writing, that the system
// removes however the program ends (unnamed on Linux; on Windows marked for
// deletion); kNoFile where the system or the file system has none.
platform::FileHandle CreateUnnamedFile(const std::string& finalName);

// Gives the entry's complete file its final name and closes it. Returns 0,
// or the failure, with the entry still describing the unfinished file.
platform::SystemError PutInPlace(Entry& entry, const std::string& finalName);

}  // namespace quenlow::unfinished
