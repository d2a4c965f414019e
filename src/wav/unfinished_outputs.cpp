#include "wav/unfinished_outputs.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>

namespace quenlow {
namespace {

std::mutex registryLock;
std::map<int, std::string> remembered;  // slot -> temporary file name
int nextSlot = 0;

void RemoveAllLocked() {
  for (const auto& [slot, name] : remembered) unlink(name.c_str());
  remembered.clear();
}

}  // namespace

UnfinishedOutput CreateUnfinishedOutput(std::string pattern) {
  std::lock_guard hold(registryLock);
  // The entry is made before the file, so that running out of memory here
  // cannot leave a file nobody knows of.
  const int slot = nextSlot++;
  std::string& name = remembered.emplace(slot, std::move(pattern)).first->second;
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    remembered.erase(slot);
    errno = error;
    return {};
  }
  return {fd, slot};
}

int RenameUnfinishedOutput(int slot, const std::string& finalName) {
  std::lock_guard hold(registryLock);
  const auto entry = remembered.find(slot);
  if (entry == remembered.end()) return ENOENT;  // removed by the clean-up
  if (std::rename(entry->second.c_str(), finalName.c_str()) != 0) return errno;
  remembered.erase(entry);
  return 0;
}

void DiscardUnfinishedOutput(int slot) {
  std::lock_guard hold(registryLock);
  const auto entry = remembered.find(slot);
  if (entry == remembered.end()) return;
  unlink(entry->second.c_str());
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
