#include "wav/unfinished_outputs.h"

#include <atomic>
#include <map>
#include <mutex>
#include <random>

#include "platform/file_names.h"
#include "wav/unfinished_outputs_system.h"

namespace quenlow {
namespace {

using unfinished::Entry;

// Leaves room in a 255-byte (POSIX) or 255-character (Windows) file name for
// the leading dot and ".XXXXXX".
constexpr std::size_t kMaxTemporaryBaseLength = 200;

std::mutex registryLock;
std::map<int, Entry> remembered;
int nextSlot = 0;
std::atomic<bool> unnamedAllowed{true};

// Names are removed while the writer may still hold the files (Windows opens
// them shared for deletion); the files then go with the last handle.
void RemoveAllLocked() {
  for (auto& [slot, entry] : remembered) {
    if (!entry.name.empty()) platform::RemoveFile(entry.name.c_str());
    entry.name.clear();
    entry.removed = true;
  }
}

}  // namespace

std::string unfinished::TemporaryPattern(const std::string& finalName) {
  const std::size_t base = platform::FileNamePosition(finalName);
  return finalName.substr(0, base) + "." + finalName.substr(base).substr(0, kMaxTemporaryBaseLength) + ".XXXXXX";
}

std::string unfinished::FreshName(const std::string& pattern) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 random{std::random_device{}()};
  std::string name = pattern;
  for (std::size_t i = name.rfind("XXXXXX"); i < name.size(); ++i) name[i] = kLetters[random() % (sizeof kLetters - 1)];
  return name;
}

UnfinishedOutput CreateUnfinishedOutput(const std::string& finalName) {
  std::lock_guard hold(registryLock);
  // The entry is made before the file, so that running out of memory here
  // cannot leave a file nobody knows of.
  const int slot = nextSlot++;
  Entry& entry = remembered[slot];
  if (unnamedAllowed) entry.file = unfinished::CreateUnnamedFile(finalName);
  if (entry.file != platform::kNoFile) {
    // The lock goes with the file to the hidden name it gets at the end.
    platform::LockTemporaryFile(entry.file);
    return {entry.file, slot, 0};
  }
  // A named file is locked at once: a later run removes the hidden files that
  // nobody holds, which are what a killed run left. Should such a clean-up
  // have taken this one between its creation and the lock, another is made.
  platform::SystemError error = 0;
  for (int attempt = 0; attempt < 3 && entry.file == platform::kNoFile; ++attempt) {
    entry.name = unfinished::TemporaryPattern(finalName);
    const platform::OpenedFile file = platform::CreateTemporaryFile(entry.name);
    if (file.handle == platform::kNoFile) {
      error = file.error;
      break;
    }
    const bool held = platform::LockTemporaryFile(file.handle);
    if (held && platform::IdentityOf(file.handle) == platform::IdentityOfName(entry.name)) {
      entry.file = file.handle;
    } else {
      platform::CloseFile(file.handle);
      error = unfinished::kRemovedError;
    }
  }
  if (entry.file == platform::kNoFile) {
    remembered.erase(slot);
    return {platform::kNoFile, -1, error};
  }
  return {entry.file, slot, 0};
}

platform::SystemError PutUnfinishedOutputInPlace(int slot, const std::string& finalName) {
  std::lock_guard hold(registryLock);
  const auto found = remembered.find(slot);
  if (found == remembered.end() || found->second.removed) return unfinished::kRemovedError;  // removed by the clean-up
  if (const platform::SystemError error = unfinished::PutInPlace(found->second, finalName); error != 0) return error;
  remembered.erase(found);
  return 0;
}

std::optional<PlacementFailure> PutUnfinishedOutputsInPlace(const std::vector<int>& slots,
                                                            const std::vector<std::string>& finalNames) {
  std::lock_guard hold(registryLock);
  std::vector<unfinished::Entry*> entries;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const auto found = remembered.find(slots[i]);
    if (found == remembered.end() || found->second.removed) return PlacementFailure{i, unfinished::kRemovedError};
    entries.push_back(&found->second);
  }
  std::size_t failed = 0;
  if (const platform::SystemError error = unfinished::PlaceTogether(entries, finalNames, failed); error != 0) {
    return PlacementFailure{failed, error};
  }
  for (const int slot : slots) remembered.erase(slot);
  return std::nullopt;
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

void AllowUnnamedOutputs(bool allowed) { unnamedAllowed = allowed; }

}  // namespace quenlow
