#include "wav/unfinished_outputs.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/files.h"

namespace quenlow {
namespace {

std::mutex registryLock;
std::map<int, std::string> remembered;  // slot -> temporary file name
int nextSlot = 0;

void RemoveAllLocked() {
  for (const auto& [slot, name] : remembered) platform::RemoveFile(name.c_str());
  remembered.clear();
}

}  // namespace

UnfinishedOutput CreateUnfinishedOutput(std::string pattern) {
  std::lock_guard hold(registryLock);
  // The entry is made before the file, so that running out of memory here
  // cannot leave a file nobody knows of.
  const int slot = nextSlot++;
  std::string& name = remembered.emplace(slot, std::move(pattern)).first->second;
  const platform::OpenedFile file = platform::CreateTemporaryFile(name);
  if (file.handle == platform::kNoFile) {
    remembered.erase(slot);
    return {platform::kNoFile, -1, file.error};
  }
  return {file.handle, slot, 0};
}

bool RenameUnfinishedOutput(int slot, const std::string& finalName, platform::SystemError& error) {
  std::lock_guard hold(registryLock);
  const auto entry = remembered.find(slot);
  if (entry == remembered.end()) return false;  // removed by the clean-up
  error = platform::RenameOver(entry->second, finalName);
  if (error != 0) return false;
  remembered.erase(entry);
  return true;
}

void DiscardUnfinishedOutput(int slot) {
  std::lock_guard hold(registryLock);
  const auto entry = remembered.find(slot);
  if (entry == remembered.end()) return;
  platform::RemoveFile(entry->second.c_str());
  remembered.erase(entry);
}

void RemoveUnfinishedOutputs() {
  std::lock_guard hold(registryLock);
  RemoveAllLocked();
}

void RemoveUnfinishedOutputsForGood() {
  registryLock.lock();  // never given back: the program is ending
  RemoveAllLocked();
}

}  // namespace quenlow
