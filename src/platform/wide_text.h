// UTF-8, as the program keeps text, to the UTF-16 of the Windows API and
// back. Used by the Windows implementations only (wide_text_windows.cpp).
// Text that does not convert gives U+FFFD in its place.
#pragma once

#include <string>
#include <string_view>

namespace quenlow::platform {

std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);

// A file name as the Windows file calls take it: UTF-16, and where its full
// path is longer than the old limit of 260 characters, that full path in the
// \\?\ form, which has no such limit.
std::wstring WidePath(std::string_view utf8);

// The full path of a file in the form the system's own file calls
// (NtSetInformationFile) take: \??\C:\folder\name or \??\UNC\server\share\name.
std::wstring SystemPath(std::string_view utf8);

}  // namespace quenlow::platform
