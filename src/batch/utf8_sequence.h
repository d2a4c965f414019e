// Reading names as UTF-8, for the lines and the JSON the batch writes: both
// pass well-formed sequences on and escape every other byte on its own.
#pragma once

#include <cstddef>
#include <string>

namespace quenlow {

// The length of the well-formed UTF-8 sequence at `i` and its code point,
// or 0 for a byte that starts none (overlong forms, surrogates and lead
// bytes past U+10FFFF included).
inline std::size_t Utf8SequenceAt(const std::string& text, std::size_t i, char32_t& code) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    code = c;
    return 1;
  }
  const std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  code = length == 4 ? c & 0x07u : length == 3 ? c & 0x0Fu : c & 0x1Fu;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return 0;
  if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return 0;
  return length;
}

}  // namespace quenlow
