// UTF-8, as the program keeps text, to the UTF-16 of the Windows API and
// back. Used by the Windows implementations only (wide_text_windows.cpp).
// Text that does not convert gives U+FFFD in its place.
#pragma once

#include <string>
#include <string_view>

namespace quenlow::platform {

std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);

}  // namespace quenlow::platform
