// The files the program opens by name: the input recording, the coefficient
// file and the outputs. Names are UTF-8; sizes and offsets are 64-bit on
// every system. Each call is retried on interruption and on short transfers.
// One implementation per system: files_posix.cpp, files_windows.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quenlow::platform {

// An open file: a descriptor, or a Windows handle.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// A failure as the system numbers it (errno, or GetLastError's code); 0 is
// none.
using SystemError = int;

// Where the file's own name starts in a path: after the last folder
// separator ('/', and on Windows also '\\' and a drive's ':').
std::size_t FileNamePosition(const std::string& path);
// The file's own name: the path from that position on.
inline std::string FileNameOf(const std::string& path) { return path.substr(FileNamePosition(path)); }

// The system's own words for a failure, in one line.
std::string ErrorText(SystemError error);

struct OpenedFile {
  FileHandle handle = kNoFile;
  SystemError error = 0;  // why handle is kNoFile
};

// The existence test of the prompt: whether the name opens for reading as a
// file. Never waits (a pipe without a writer answers at once); a folder is
// not a file. On Windows the test opens the file unshared, so a file another
// program holds open is not there either.
bool FileOpens(const std::string& name);

// Whether anything at all stands under the name.
bool PathExists(const std::string& name);

// Opens an existing file for reading, without waiting on a pipe.
OpenedFile OpenForReading(const std::string& name);

// The size of an open regular file; nothing for a pipe, a device or a
// folder.
std::optional<std::uint64_t> RegularFileSize(FileHandle file);

// What tells a changed file: its length, when it was last written to and
// when anything about it last changed (nanoseconds, from whatever start the
// system counts), and which file it is. The change time cannot be set back
// by a program the way the write time can (touch -r). Where the system cannot
// say, a field stays 0. Nothing when the file cannot be asked at all.
struct FileState {
  std::uint64_t size = 0;
  std::int64_t modified = 0;
  std::int64_t changed = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileState&) const = default;
};
std::optional<FileState> StateOf(FileHandle file);

// A hint that the file will be read from start to end.
void WillReadInOrder(FileHandle file);

// Reads up to `size` bytes from `offset`; returns how many were read before
// the end of the file or an error.
std::size_t ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* out, std::size_t size);

// Writes all of `size` bytes at the file's current end; returns 0 or the
// failure.
SystemError WriteAll(FileHandle file, const std::uint8_t* bytes, std::size_t size);

// Writes all of `size` bytes at `offset`, over bytes already in the file;
// where WriteAll writes next is unchanged. Returns 0 or the failure.
SystemError WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* bytes, std::size_t size);
// Has the system start putting bytes [offset, offset + size) of the file on
// disk now, without waiting for them: a file written in pieces then keeps
// the disk busy while the next pieces are made, and the final flush has
// little left to do. A hint: failures show at that flush.
void StartWriteBack(FileHandle file, std::uint64_t offset, std::size_t size);

// Waits until bytes [offset, offset + size) of the file are on disk and lets
// the system forget its copy of them: outputs of many gigabytes then do not
// push everything else out of memory, nor cost the time of reclaiming it.
// A hint too: failures show at the final flush. (Windows manages its own
// cache: there both hints do nothing.)
void DropWritten(FileHandle file, std::uint64_t offset, std::uint64_t size);

// Puts everything written so far on the disk. It has a file of its own
// (flush_posix.cpp, flush_windows.cpp), so that a test can link a failing one
// in its place and see that no output takes its name before it is on disk.
SystemError FlushToDisk(FileHandle file);

SystemError CloseFile(FileHandle file);

// Creates a new file for writing under a name made from `pattern`, whose
// last six characters are "XXXXXX" and are replaced in place by ones that
// make the name new. The file gets the permissions any new file would get.
// It can be removed while still open (RemoveFile).
OpenedFile CreateTemporaryFile(std::string& pattern);

// Renames `from` over `to`, replacing a file of that name at once, and makes
// the new name last through a power cut as far as the system allows.
SystemError RenameOver(const std::string& from, const std::string& to);

// Whether a file of this name may be replaced by this user: yes when there
// is none or it may be written and renamed over; protected (read-only, or
// not this user's to write); a folder; something else that is no file (a
// pipe, a device); a folder this user may not write to, or one on a
// read-only file system; another user's file in a shared folder (the sticky
// bit keeps it from being renamed over); or unknown, with the failure that
// stopped the check.
enum class Replaceable {
  Yes,
  Protected,
  Folder,
  Unknown,
  NotAFile,
  FolderNotWritable,
  ReadOnlyFileSystem,
  OthersInSharedFolder,
};
struct ReplaceCheck {
  Replaceable verdict = Replaceable::Yes;
  SystemError error = 0;
};
ReplaceCheck CheckReplaceable(const std::string& name);

// Where a write to `name` should land: `name` itself, or, when it is a
// symbolic link, the file the chain of links ends at (which need not exist
// yet). ELOOP for a chain that never ends. Windows has no links to follow
// here: the name is taken as it is.
struct LinkTarget {
  std::string path;
  SystemError error = 0;
};
LinkTarget FollowLinks(const std::string& name);

// Removes the file; quiet when it is not there. Safe on the way out of an
// interrupted program (no allocation on POSIX).
void RemoveFile(const char* name);

}  // namespace quenlow::platform
