// What the outputs' names need beyond opening and writing: which file a name
// or an open file is, two names swapped in one step, a name taken only when
// free, a folder flushed once, and a lock that tells a running program's
// temporary file from one a killed program left behind. One implementation
// per system: file_names_posix.cpp, file_names_windows.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/files.h"

namespace quenlow::platform {

// Which file it is, however it is reached (hard links, symbolic links).
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(FileHandle file);
// The file a name leads to, following symbolic links; nothing when none.
std::optional<FileIdentity> IdentityOfName(const std::string& name);

// What stands under a name itself (a symbolic link is not followed).
enum class NameKind { Free, File, Link, Folder, Other, Unknown };
NameKind KindOfName(const std::string& name, SystemError* error = nullptr);
// What the name leads to, following symbolic links: Free (with the reason in
// `error`) when nothing does, Link never.
NameKind KindOfTarget(const std::string& name, SystemError* error = nullptr);

// Swaps what two names lead to, in one step. Fails with an error for which
// ExchangeUnsupported is true where the system or the file system cannot.
SystemError ExchangeNames(const std::string& first, const std::string& second);
bool ExchangeUnsupported(SystemError error);
// False makes every exchange unsupported, as on a file system without it;
// for tests.
void AllowNameExchange(bool allowed);

// Renames `from` to `to` only while nothing stands under `to`.
SystemError MoveToFreeName(const std::string& from, const std::string& to);
// Renames `from` over `to` without flushing the folder (the caller flushes
// once when all its names are in place).
SystemError MoveOverQuietly(const std::string& from, const std::string& to);
// A second name for an existing file.
SystemError LinkExisting(const std::string& existing, const std::string& newName);

// Makes the folder's names last through a power cut, as far as the system
// allows; a folder that cannot be flushed is no failure.
void SyncFolder(const std::string& folder);
// The folder part of a path ("." when it has none).
std::string FolderOfPath(const std::string& path);

// Takes this program's lock on an open temporary file; it lasts until the
// file is closed or the program ends, however it ends. False when another
// holds it.
bool LockTemporaryFile(FileHandle file);
// Removes every file of `folder` whose name `isOurs` accepts and whose lock
// no running program holds. Returns how many went.
int RemoveUnheldFiles(const std::string& folder, const std::function<bool(const std::string&)>& isOurs);

}  // namespace quenlow::platform
