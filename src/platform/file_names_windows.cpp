#include "platform/file_names.h"

#include <windows.h>

#include "platform/wide_text.h"

// Windows keeps its outputs' old behaviour for now: no exchange (every pair
// goes the named way), no identity of files, no locks, no clean-up of
// leftovers (an open temporary file there is removed with its handle).
namespace quenlow::platform {

std::optional<FileIdentity> IdentityOf(FileHandle) { return std::nullopt; }
std::optional<FileIdentity> IdentityOfName(const std::string&) { return std::nullopt; }

NameKind KindOfName(const std::string& name, SystemError* error) {
  const DWORD attributes = GetFileAttributesW(WideText(name).c_str());
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

SystemError ExchangeNames(const std::string&, const std::string&) { return ERROR_NOT_SUPPORTED; }
bool ExchangeUnsupported(SystemError error) { return error == ERROR_NOT_SUPPORTED; }
void AllowNameExchange(bool) {}

SystemError MoveToFreeName(const std::string& from, const std::string& to) {
  if (MoveFileExW(WideText(from).c_str(), WideText(to).c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
  return static_cast<SystemError>(GetLastError());
}

SystemError MoveOverQuietly(const std::string& from, const std::string& to) {
  if (MoveFileExW(WideText(from).c_str(), WideText(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  return static_cast<SystemError>(GetLastError());
}

SystemError LinkExisting(const std::string& existing, const std::string& newName) {
  if (CreateHardLinkW(WideText(newName).c_str(), WideText(existing).c_str(), nullptr)) return 0;
  return static_cast<SystemError>(GetLastError());
}

std::string FolderOfPath(const std::string& path) {
  const std::size_t name = FileNamePosition(path);
  return name == 0 ? std::string(".") : path.substr(0, name);
}

// MoveFileExW with MOVEFILE_WRITE_THROUGH has the move on the disk already.
void SyncFolder(const std::string&) {}

bool LockTemporaryFile(FileHandle) { return true; }

int RemoveUnheldFiles(const std::string&, const std::function<bool(const std::string&)>&) { return 0; }

}  // namespace quenlow::platform
