// Putting the outputs of one job in place together. Every new file first has
// a hidden name beside its final one, and every final name is checked (a
// folder, or another user's file in a shared folder, may have come since
// the job's own check). Then, where the file system can swap
// two names in one step, each final name is swapped with its hidden one (the
// old file is then under the hidden name) and the first swap is undone when
// the second fails; only when all are in place do the old files go, and the
// folder is flushed once. A program killed in between leaves either the old
// pair or the new one, unless it dies in the few system calls between the
// two swaps. Where the file system cannot swap, each new file is renamed over
// its final name in turn, the old one kept under a hidden name of its own
// until all are in place, so that a failure puts the old files back.
#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include "platform/file_names.h"
#include "wav/unfinished_outputs_system.h"

namespace quenlow::unfinished {
namespace {

// Whether a rename may replace what stands under the name now. The job
// checked before its work; a folder, or another user's file in a shared
// folder, may have come since. A write-protected file does not stop a
// rename: the job refused it before, unless the user protected it since.
platform::SystemError RenameBlocked(const std::string& finalName) {
  const platform::ReplaceCheck check = platform::CheckReplaceable(finalName);
  if (check.verdict == platform::Replaceable::Yes || check.verdict == platform::Replaceable::Protected) return 0;
  return check.error != 0 ? check.error : EIO;
}

// How one final name was changed, so that it can be changed back.
struct Step {
  bool exchanged = false;  // the old file is under the entry's hidden name
  bool moved = false;      // the name was free and now holds the new file
  std::string backup;      // named way: the old file's hidden second name
  bool backupMoved = false;  // the old file left its final name for the backup
};

void SyncFolders(const std::vector<std::string>& finalNames) {
  std::set<std::string> folders;
  for (const std::string& name : finalNames) folders.insert(platform::FolderOfPath(name));
  for (const std::string& folder : folders) platform::SyncFolder(folder);
}

// Swaps the names back, last first.
void UndoExchanges(const std::vector<Entry*>& entries, const std::vector<std::string>& finalNames,
                   std::vector<Step>& steps, std::size_t count) {
  for (std::size_t j = count; j-- > 0;) {
    if (steps[j].exchanged) platform::ExchangeNames(entries[j]->name, finalNames[j]);
    if (steps[j].moved) platform::MoveOverQuietly(finalNames[j], entries[j]->name);
    steps[j] = Step{};
  }
}

// Whether each final name is free, once every one has been found
// replaceable: the names then change one straight after the other.
platform::SystemError CheckAll(const std::vector<std::string>& finalNames, std::vector<bool>& free,
                               std::size_t& failed) {
  for (std::size_t i = 0; i < finalNames.size(); ++i) {
    if (const platform::SystemError error = RenameBlocked(finalNames[i]); error != 0) {
      failed = i;
      return error;
    }
    free.push_back(platform::KindOfName(finalNames[i]) == platform::NameKind::Free);
  }
  return 0;
}

// 0 when all are in place; ExchangeUnsupported's error when the file system
// has no exchange and nothing has been changed.
platform::SystemError PlaceByExchange(const std::vector<Entry*>& entries, const std::vector<std::string>& finalNames,
                                      std::size_t& failed) {
  std::vector<bool> free;
  if (const platform::SystemError error = CheckAll(finalNames, free, failed); error != 0) return error;
  std::vector<Step> steps(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    platform::SystemError error = 0;
    if (free[i]) {
      error = platform::MoveToFreeName(entries[i]->name, finalNames[i]);
      steps[i].moved = error == 0;
    } else {
      error = platform::ExchangeNames(entries[i]->name, finalNames[i]);
      steps[i].exchanged = error == 0;
    }
    if (error != 0) {
      UndoExchanges(entries, finalNames, steps, i);
      failed = i;
      return error;
    }
  }
  // All in place: the hidden names now hold the old files, or nothing.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (steps[i].exchanged) platform::RemoveFile(entries[i]->name.c_str());
    entries[i]->name.clear();
    Release(*entries[i]);
  }
  SyncFolders(finalNames);
  return 0;
}

// Puts back the old files of the first `count` names, last first.
void UndoRenames(const std::vector<Entry*>& entries, const std::vector<std::string>& finalNames,
                 std::vector<Step>& steps, std::size_t count) {
  for (std::size_t j = count; j-- > 0;) {
    if (steps[j].moved) {
      if (!steps[j].backup.empty()) {
        // The old file over the new one: the new file goes with its name.
        platform::MoveOverQuietly(steps[j].backup, finalNames[j]);
        entries[j]->name.clear();
      } else {
        platform::MoveOverQuietly(finalNames[j], entries[j]->name);
      }
    } else if (!steps[j].backup.empty()) {
      if (steps[j].backupMoved) {
        platform::MoveOverQuietly(steps[j].backup, finalNames[j]);
      } else {
        platform::RemoveFile(steps[j].backup.c_str());
      }
    }
    steps[j] = Step{};
  }
}

platform::SystemError PlaceByRenaming(const std::vector<Entry*>& entries, const std::vector<std::string>& finalNames,
                                      std::size_t& failed) {
  std::vector<bool> free;
  if (const platform::SystemError error = CheckAll(finalNames, free, failed); error != 0) return error;
  std::vector<Step> steps(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    platform::SystemError error = 0;
    if (!free[i]) {
      // A second name for the old file, so it can come back; where the file
      // system has no links, the old file moves to it.
      steps[i].backup = FreshName(TemporaryPattern(finalNames[i]));
      error = platform::LinkExisting(finalNames[i], steps[i].backup);
      if (error != 0) {
        error = platform::MoveToFreeName(finalNames[i], steps[i].backup);
        steps[i].backupMoved = error == 0;
        if (error != 0) steps[i].backup.clear();
      }
    }
    if (error == 0) {
      error = platform::MoveOverQuietly(entries[i]->name, finalNames[i]);
      steps[i].moved = error == 0;
    }
    if (error != 0) {
      UndoRenames(entries, finalNames, steps, i + 1);
      failed = i;
      return error;
    }
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!steps[i].backup.empty()) platform::RemoveFile(steps[i].backup.c_str());
    entries[i]->name.clear();
    Release(*entries[i]);
  }
  SyncFolders(finalNames);
  return 0;
}

}  // namespace

platform::SystemError PlaceTogether(const std::vector<Entry*>& entries, const std::vector<std::string>& finalNames,
                                    std::size_t& failed) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (const platform::SystemError error = GiveHiddenName(*entries[i], finalNames[i]); error != 0) {
      failed = i;
      return error;
    }
  }
  const platform::SystemError error = PlaceByExchange(entries, finalNames, failed);
  if (!platform::ExchangeUnsupported(error)) return error;
  return PlaceByRenaming(entries, finalNames, failed);
}

}  // namespace quenlow::unfinished
