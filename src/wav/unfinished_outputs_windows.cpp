// Windows has no unnamed files; the nearest is a hidden temporary file
// marked for deletion while it is written: the system removes it when its
// last handle closes, however the program ends (End task, taskkill /F, a
// crash). The mark is cleared just before the file is renamed into place
// through its own handle.
#include <windows.h>

#include <cstring>
#include <map>
#include <vector>

#include "platform/wide_text.h"
#include "wav/unfinished_outputs_system.h"

namespace quenlow::unfinished {
namespace {

// A file another program holds open (a player, the preview pane, a virus
// scanner that has just seen the old file) is retried for about a second.
constexpr int kBusyRetries = 20;
constexpr DWORD kBusyWaitMs = 50;

HANDLE Handle(platform::FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// The names of the files marked for deletion, by handle, for the step that
// puts a pair in place by name. Used under the registry's lock only.
std::map<platform::FileHandle, std::string> markedNames;

bool MarkForDeletion(HANDLE file, bool marked) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = marked ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Times of 0 are left as they are.
void SetAttributes(HANDLE file, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes;
  SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
}

// The final name is in the same folder; it is given as a full path, which
// Windows and Wine both take.
platform::SystemError RenameThroughHandle(HANDLE file, const std::string& finalName) {
  const std::wstring target = platform::SystemPath(finalName);
  if (target.empty()) return static_cast<platform::SystemError>(GetLastError());
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, target.data(), nameBytes);  // the buffer's last character stays 0
  for (int attempt = 0;; ++attempt) {
    if (SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size()))) return 0;
    const DWORD error = GetLastError();
    const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
    if (!busy || attempt >= kBusyRetries) return static_cast<platform::SystemError>(error);
    Sleep(kBusyWaitMs);
  }
}

}  // namespace

const platform::SystemError kRemovedError = ERROR_FILE_NOT_FOUND;

// Made under the hidden temporary name beside the final one, hidden and
// temporary to Explorer too. Where the mark is refused (some network
// shares), there is none: the output is then a plain named temporary.
platform::FileHandle CreateUnnamedFile(const std::string& finalName) {
  std::string name = TemporaryPattern(finalName);
  const platform::OpenedFile made = platform::CreateTemporaryFile(name);
  if (made.handle == platform::kNoFile) return platform::kNoFile;
  const HANDLE file = Handle(made.handle);
  if (!MarkForDeletion(file, true)) {
    CloseHandle(file);
    platform::RemoveFile(name.c_str());
    return platform::kNoFile;
  }
  SetAttributes(file, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY);
  markedNames[made.handle] = name;
  return made.handle;
}

// The handle is closed once the file has its name: a named temporary (no
// mark) is closed first and moved by name, as before.
platform::SystemError PutInPlace(Entry& entry, const std::string& finalName) {
  if (!entry.name.empty()) {
    if (entry.file != platform::kNoFile) {
      if (const platform::SystemError error = platform::CloseFile(entry.file); error != 0) return error;
      entry.file = platform::kNoFile;
    }
    return platform::RenameOver(entry.name, finalName);
  }
  const HANDLE file = Handle(entry.file);
  if (!MarkForDeletion(file, false)) return static_cast<platform::SystemError>(GetLastError());
  if (const platform::SystemError error = RenameThroughHandle(file, finalName); error != 0) {
    MarkForDeletion(file, true);
    return error;
  }
  markedNames.erase(entry.file);
  // The output is an ordinary file from now on.
  SetAttributes(file, FILE_ATTRIBUTE_NORMAL);
  FlushFileBuffers(file);  // the new name, as MOVEFILE_WRITE_THROUGH would
  entry.file = platform::kNoFile;
  return CloseHandle(file) ? 0 : static_cast<platform::SystemError>(GetLastError());
}

// A file still open cannot be moved: it is closed before the names change.
// A file marked for deletion loses the mark just before, and is from then on
// a named temporary under the hidden name it was made with.
platform::SystemError GiveHiddenName(Entry& entry, const std::string&) {
  if (entry.file == platform::kNoFile) return 0;
  const auto marked = entry.name.empty() ? markedNames.find(entry.file) : markedNames.end();
  if (marked != markedNames.end()) {
    if (!MarkForDeletion(Handle(entry.file), false)) return static_cast<platform::SystemError>(GetLastError());
    SetAttributes(Handle(entry.file), FILE_ATTRIBUTE_NORMAL);
    entry.name = marked->second;
    markedNames.erase(marked);
  }
  const platform::SystemError error = platform::CloseFile(entry.file);
  entry.file = platform::kNoFile;
  return error;
}

void Release(Entry& entry) {
  if (entry.file == platform::kNoFile) return;
  markedNames.erase(entry.file);
  platform::CloseFile(entry.file);
  entry.file = platform::kNoFile;
}

}  // namespace quenlow::unfinished
