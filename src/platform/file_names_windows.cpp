#include "platform/file_names.h"

#include <windows.h>

#include "platform/wide_text.h"

// Windows keeps its outputs' old behaviour for now: no exchange (every pair
// goes the named way), no identity of files, no locks, no clean-up of
// leftovers (an open temporary file there is removed with its handle).
namespace quenlow::platform {
namespace {

// A file another program holds open (a player, the preview pane, a virus
// scanner that has just seen a new file) refuses a move for a while: the
// move is tried again for about a second.
constexpr int kBusyRetries = 20;
constexpr DWORD kBusyWaitMs = 50;

SystemError Move(const std::string& from, const std::string& to, DWORD flags) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), flags)) return 0;
    const DWORD error = GetLastError();
    const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
    if (!busy || attempt >= kBusyRetries) return static_cast<SystemError>(error);
    Sleep(kBusyWaitMs);
  }
}

}  // namespace

std::optional<FileIdentity> IdentityOf(FileHandle) { return std::nullopt; }
std::optional<FileIdentity> IdentityOfName(const std::string&) { return std::nullopt; }

NameKind KindOfName(const std::string& name, SystemError* error) {
  const DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return NameKind::Free;
    if (error != nullptr) *error = static_cast<SystemError>(code);
    return NameKind::Unknown;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return NameKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return NameKind::Link;
  return NameKind::File;
}

// A link to a folder is marked as a folder itself (and one to a file as a
// file), so its attributes say what it leads to.
NameKind KindOfTarget(const std::string& name, SystemError* error) {
  const DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (error != nullptr) *error = static_cast<SystemError>(code);
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? NameKind::Free : NameKind::Unknown;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return NameKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return NameKind::Other;
  return NameKind::File;
}

SystemError ExchangeNames(const std::string&, const std::string&) { return ERROR_NOT_SUPPORTED; }
bool ExchangeUnsupported(SystemError error) { return error == ERROR_NOT_SUPPORTED; }
void AllowNameExchange(bool) {}

SystemError MoveToFreeName(const std::string& from, const std::string& to) {
  return Move(from, to, MOVEFILE_WRITE_THROUGH);
}

SystemError MoveOverQuietly(const std::string& from, const std::string& to) {
  return Move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// None: a second name made for an old output that another program holds
// open (without sharing its deletion) could not be removed again, and would
// be left beside it. The old output is moved aside instead, which that
// program's hold refuses before anything has changed.
SystemError LinkExisting(const std::string&, const std::string&) { return ERROR_NOT_SUPPORTED; }

std::string FolderOfPath(const std::string& path) {
  const std::size_t name = FileNamePosition(path);
  return name == 0 ? std::string(".") : path.substr(0, name);
}

// MoveFileExW with MOVEFILE_WRITE_THROUGH has the move on the disk already.
void SyncFolder(const std::string&) {}

bool LockTemporaryFile(FileHandle) { return true; }

int RemoveUnheldFiles(const std::string&, const std::function<bool(const std::string&)>&) { return 0; }

}  // namespace quenlow::platform
