#include "batch/terminal_text.h"

#include <optional>

#include "batch/utf8_sequence.h"
#include "platform/command_line.h"

namespace quenlow {
namespace {

std::string Hex(unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

// The main blocks of combining marks and of wide characters, for a system
// without tables to ask (Windows' console goes by much the same blocks).
int CellsByBlock(char32_t code) {
  constexpr char32_t kCombining[][2] = {
      {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F}};
  constexpr char32_t kWide[][2] = {{0x1100, 0x115F}, {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
                                   {0x4E00, 0x9FFF}, {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
                                   {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
                                   {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
  for (const auto& block : kCombining) {
    if (code >= block[0] && code <= block[1]) return 0;
  }
  for (const auto& block : kWide) {
    if (code >= block[0] && code <= block[1]) return 2;
  }
  return 1;
}

// The cells of one character, by the system's tables where it has them.
int CharacterCells(char32_t code) {
  if (code < 0x80) return 1;
  if (const std::optional<int> cells = platform::SystemCharacterCells(code)) return *cells;
  return CellsByBlock(code);
}

}  // namespace

std::string VisibleText(const std::string& text) {
  std::string visible;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    char32_t code = 0;
    const std::size_t length = Utf8SequenceAt(text, i, code);
    if (c == '\n') {
      visible += "\\n";
    } else if (c == '\t') {
      visible += "\\t";
    } else if (c == '\r') {
      visible += "\\r";
    } else if (length == 0 || c < 0x20 || c == 0x7F || (code >= 0x80 && code < 0xA0)) {
      // The C1 controls (U+0080..U+009F) act on some terminals as ESC does.
      if (length == 0 || length == 1) {
        visible += Hex(c);
      } else {
        for (std::size_t k = 0; k < length; ++k) visible += Hex(static_cast<unsigned char>(text[i + k]));
      }
    } else {
      visible.append(text, i, length);
    }
    i += length == 0 ? 1 : length;
  }
  return visible;
}

std::size_t CellWidth(const std::string& text) {
  std::size_t cells = 0;
  for (std::size_t i = 0; i < text.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8SequenceAt(text, i, code);
    cells += length == 0 ? 1 : static_cast<std::size_t>(CharacterCells(code));
    i += length == 0 ? 1 : length;
  }
  return cells;
}

std::string FitToCells(const std::string& text, std::size_t cells) {
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t code = 0;
    std::size_t length = Utf8SequenceAt(text, i, code);
    const std::size_t width = length == 0 ? 1 : static_cast<std::size_t>(CharacterCells(code));
    if (length == 0) length = 1;
    if (used + width > cells) break;
    used += width;
    i += length;
  }
  return text.substr(0, i);
}

}  // namespace quenlow
