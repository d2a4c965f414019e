// UTF-8 to code points and back. Bytes that do not form a character become
// U+FFFD, so every input gives some text and nothing is read past its end.
#pragma once

#include <string>
#include <string_view>

namespace quenlow::console {

std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);
void AppendUtf8(std::string& out, char32_t ch);

}  // namespace quenlow::console
