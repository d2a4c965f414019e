#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "platform/wide_text.h"

namespace quenlow::platform {
namespace {

// One ReadFile or WriteFile moves at most a DWORD's worth; smaller pieces
// keep each call short.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;
constexpr int kTemporaryNameTries = 1000;
constexpr char kNameCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle Wrapped(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}
SystemError LastError() { return static_cast<SystemError>(GetLastError()); }

// Characters for a temporary name: a generator seeded from the clock and the
// process, so that two programs in one folder try different names first.
char NextNameCharacter(std::uint64_t& state) {
  state = state * 6364136223846793005u + 1442695040888963407u;
  return kNameCharacters[(state >> 33) % (sizeof kNameCharacters - 1)];
}

// The position of a read or write that does not use the file pointer.
OVERLAPPED At(std::uint64_t position) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(position >> 32);
  return at;
}

}  // namespace

std::size_t FileNamePosition(const std::string& path) {
  const auto separator = path.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

std::string ErrorText(SystemError error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  // The system's messages end with a line break, and some with a full stop.
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' ||
                              message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) {
    char number[32];
    std::snprintf(number, sizeof number, "system error %lu", static_cast<unsigned long>(error));
    return number;
  }
  return Utf8Text(message);
}

// Opened without sharing: a file another program holds open does not pass.
// A folder does not open without backup semantics, so it does not pass
// either.
bool FileOpens(const std::string& name) {
  if (name.empty()) return false;
  const HANDLE handle = CreateFileW(WidePath(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

bool PathExists(const std::string& name) {
  return !name.empty() && GetFileAttributesW(WidePath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

OpenedFile OpenForReading(const std::string& name) {
  if (name.empty()) return {kNoFile, ERROR_FILE_NOT_FOUND};
  const HANDLE handle = CreateFileW(WidePath(name).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {kNoFile, LastError()};
  return {Wrapped(handle), 0};
}

std::optional<std::uint64_t> RegularFileSize(FileHandle file) {
  if (GetFileType(Handle(file)) != FILE_TYPE_DISK) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(Handle(file), &information)) return std::nullopt;
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
}

std::optional<FileState> StateOf(FileHandle file) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(Handle(file), &information)) return std::nullopt;
  const std::uint64_t written =
      (std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) | information.ftLastWriteTime.dwLowDateTime;
  return FileState{(std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow,
                   static_cast<std::int64_t>(written) * 100,  // in 100-ns steps since 1601
                   0, 0, 0};
}

void WillReadInOrder(FileHandle) {}

std::size_t ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    OVERLAPPED at = At(offset + done);
    DWORD got = 0;
    const auto piece = static_cast<DWORD>(std::min(size - done, kMaxTransfer));
    if (!ReadFile(Handle(file), out + done, piece, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

SystemError WriteAll(FileHandle file, const std::uint8_t* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    DWORD put = 0;
    const auto piece = static_cast<DWORD>(std::min(size - done, kMaxTransfer));
    if (!WriteFile(Handle(file), bytes + done, piece, &put, nullptr)) return LastError();
    // A write that takes nothing without an error would loop for ever.
    if (put == 0) return ERROR_WRITE_FAULT;
    done += put;
  }
  return 0;
}

SystemError WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
  // A write at an offset moves the file pointer of a synchronous handle:
  // WriteAll's place is put back afterwards.
  LARGE_INTEGER current{};
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(Handle(file), zero, &current, FILE_CURRENT)) return LastError();
  std::size_t done = 0;
  SystemError error = 0;
  while (done < size) {
    OVERLAPPED at = At(offset + done);
    DWORD put = 0;
    const auto piece = static_cast<DWORD>(std::min(size - done, kMaxTransfer));
    if (!WriteFile(Handle(file), bytes + done, piece, &put, &at)) {
      error = LastError();
      break;
    }
    if (put == 0) {
      error = ERROR_WRITE_FAULT;
      break;
    }
    done += put;
  }
  if (!SetFilePointerEx(Handle(file), current, nullptr, FILE_BEGIN) && error == 0) error = LastError();
  return error;
}

void StartWriteBack(FileHandle, std::uint64_t, std::size_t) {}

void DropWritten(FileHandle, std::uint64_t, std::uint64_t) {}

SystemError CloseFile(FileHandle file) { return CloseHandle(Handle(file)) ? 0 : LastError(); }

// Shared for deletion, so that the clean-up of an interrupted program can
// remove the file while the writer still holds it open; opened for deletion
// too, so that the writer may mark it to go with its handle and rename it
// through the handle.
OpenedFile CreateTemporaryFile(std::string& pattern) {
  if (pattern.size() < 6) return {kNoFile, ERROR_INVALID_PARAMETER};
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  std::uint64_t state = static_cast<std::uint64_t>(now.QuadPart) ^ (std::uint64_t{GetCurrentProcessId()} << 32);
  SystemError error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) pattern[i] = NextNameCharacter(state);
    const HANDLE handle = CreateFileW(WidePath(pattern).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return {Wrapped(handle), 0};
    error = LastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return {kNoFile, error};
}

SystemError RenameOver(const std::string& from, const std::string& to) {
  if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  return 0;
}

ReplaceCheck CheckReplaceable(const std::string& name) {
  const DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const SystemError error = LastError();
    return error == ERROR_FILE_NOT_FOUND ? ReplaceCheck{} : ReplaceCheck{Replaceable::Unknown, error};
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {Replaceable::Folder, ERROR_DIRECTORY};
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return {Replaceable::Protected, ERROR_ACCESS_DENIED};
  return {};
}

LinkTarget FollowLinks(const std::string& name) { return {name, 0}; }

void RemoveFile(const char* name) { DeleteFileW(WidePath(name).c_str()); }

}  // namespace quenlow::platform
