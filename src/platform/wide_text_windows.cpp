#include "platform/wide_text.h"

#include <windows.h>

#include <climits>
#include <string_view>

namespace quenlow::platform {

std::wstring WideText(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8Text(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

namespace {

// Folders are limited to 12 characters fewer than files (room for an 8.3
// name), so a path is made long from there on.
constexpr std::size_t kLongPath = MAX_PATH - 12;
constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

std::wstring FullPath(const std::wstring& name) {
  const DWORD length = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (length == 0) return {};
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(name.c_str(), length, full.data(), nullptr);
  if (written == 0 || written >= length) return {};
  full.resize(written);
  return full;
}

// C:\a\b becomes \\?\C:\a\b, and \\server\share\b becomes
// \\?\UNC\server\share\b; a path already in that form stays.
std::wstring LongForm(const std::wstring& full) {
  if (full.rfind(kLongPrefix, 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return std::wstring(kLongUncPrefix) + full.substr(2);
  return std::wstring(kLongPrefix) + full;
}

}  // namespace

std::wstring WidePath(std::string_view utf8) {
  std::wstring wide = WideText(utf8);
  if (wide.empty() || wide.rfind(kLongPrefix, 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0) return wide;
  const std::wstring full = FullPath(wide);
  return full.size() < kLongPath ? wide : LongForm(full);
}

std::wstring SystemPath(std::string_view utf8) {
  const std::wstring full = FullPath(WideText(utf8));
  if (full.empty()) return {};
  // The \\?\ form is the system's own \??\ under another name.
  std::wstring path = LongForm(full);
  path[1] = L'?';
  return path;
}

}  // namespace quenlow::platform
