#include "wav/unfinished_outputs.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <string>

namespace quenlow {
namespace {

// Leaves room in a 255-character file name for the leading dot and
// ".XXXXXX".
constexpr std::size_t kMaxTemporaryBaseLength = 200;

struct Entry {
  platform::FileHandle file = platform::kNoFile;
  std::string name;      // the temporary name
  bool removed = false;  // taken away by the clean-up
};

std::mutex registryLock;
std::map<int, Entry> remembered;
int nextSlot = 0;

std::string TemporaryPattern(const std::string& finalName) {
  const std::size_t base = platform::FileNamePosition(finalName);
  return finalName.substr(0, base) + "." + finalName.substr(base).substr(0, kMaxTemporaryBaseLength) + ".XXXXXX";
}

// The temporary files are opened shared for deletion, so the names can go
// while the writer still holds them; the files then go with the last handle.
void RemoveAllLocked() {
  for (auto& [slot, entry] : remembered) {
    if (!entry.name.empty()) platform::RemoveFile(entry.name.c_str());
    entry.name.clear();
    entry.removed = true;
  }
}

}  // namespace

UnfinishedOutput CreateUnfinishedOutput(const std::string& finalName) {
  std::lock_guard hold(registryLock);
  // The entry is made before the file, so that running out of memory here
  // cannot leave a file nobody knows of.
  const int slot = nextSlot++;
  Entry& entry = remembered[slot];
  entry.name = TemporaryPattern(finalName);
  const platform::OpenedFile file = platform::CreateTemporaryFile(entry.name);
  if (file.handle == platform::kNoFile) {
    remembered.erase(slot);
    return {platform::kNoFile, -1, file.error};
  }
  entry.file = file.handle;
  return {file.handle, slot, 0};
}

// The handle is closed first: a file still open cannot be moved over
// another. MoveFileExW replaces the old file in one step and returns once
// the move is on the disk.
platform::SystemError PutUnfinishedOutputInPlace(int slot, const std::string& finalName) {
  std::lock_guard hold(registryLock);
  const auto found = remembered.find(slot);
  if (found == remembered.end() || found->second.removed) return ERROR_FILE_NOT_FOUND;  // removed by the clean-up
  Entry& entry = found->second;
  if (entry.file != platform::kNoFile) {
    if (const platform::SystemError error = platform::CloseFile(entry.file); error != 0) return error;
    entry.file = platform::kNoFile;
  }
  if (const platform::SystemError error = platform::RenameOver(entry.name, finalName); error != 0) return error;
  remembered.erase(found);
  return 0;
}

void DiscardUnfinishedOutput(int slot) {
  std::lock_guard hold(registryLock);
  const auto found = remembered.find(slot);
  if (found == remembered.end()) return;
  if (found->second.file != platform::kNoFile) platform::CloseFile(found->second.file);
  if (!found->second.name.empty()) platform::RemoveFile(found->second.name.c_str());
  remembered.erase(found);
}

void RemoveUnfinishedOutputs() {
  std::lock_guard hold(registryLock);
  RemoveAllLocked();
}

void RemoveUnfinishedOutputsForGood() {
  registryLock.lock();  // never given back: the program is ending
  RemoveAllLocked();
}

// Windows has no unnamed files: every output is a named temporary already.
void AllowUnnamedOutputs(bool) {}

}  // namespace quenlow
