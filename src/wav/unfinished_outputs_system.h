// What each system provides to the registry of unfinished outputs
// (unfinished_outputs.cpp): one implementation in unfinished_outputs_posix.cpp
// and one in unfinished_outputs_windows.cpp. The registry holds the lock; all
// of these are called under it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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
// The pattern with its trailing X's replaced by random letters and digits.
std::string FreshName(const std::string& pattern);

// A file in the folder of `finalName`, open for writing, that the system
// removes however the program ends (unnamed on Linux; on Windows marked for
// deletion); kNoFile where the system or the file system has none.
platform::FileHandle CreateUnnamedFile(const std::string& finalName);

// Gives the entry's complete file its final name and closes it. Returns 0,
// or the failure, with the entry still describing the unfinished file.
platform::SystemError PutInPlace(Entry& entry, const std::string& finalName);

// Readies a complete file for being put in place with others: it keeps the
// permission bits of the file it replaces and has a hidden name, and stays
// open (and locked) where the system allows that during renames.
platform::SystemError GiveHiddenName(Entry& entry, const std::string& finalName);
// Closes the file, once it has its final name.
void Release(Entry& entry);

// Puts the readied files in place together (output_pair_naming.cpp). Returns
// 0, or the failure and in `failed` whose; on a failure every final name
// leads to what it led to before and the entries still hold the new files
// under their hidden names.
platform::SystemError PlaceTogether(const std::vector<Entry*>& entries, const std::vector<std::string>& finalNames,
                                    std::size_t& failed);

}  // namespace quenlow::unfinished
