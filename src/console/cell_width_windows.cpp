#include "console/cell_width.h"

#include <windows.h>

#include <array>
#include <utility>

namespace quenlow::console {
namespace {

// The characters the console gives two cells: the East Asian wide and
// full-width blocks and the emoji pictographs.
constexpr std::array<std::pair<char32_t, char32_t>, 12> kWideRanges = {{
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
    {0x1F300, 0x1FAFF}, {0x20000, 0x3FFFD},
}};

// Combining marks, by the system's own character tables.
bool IsMark(char32_t ch) {
  if (ch > 0xFFFF) return false;
  const wchar_t text = static_cast<wchar_t>(ch);
  WORD type = 0;
  return GetStringTypeW(CT_CTYPE3, &text, 1, &type) && (type & C3_NONSPACING) != 0;
}

}  // namespace

int CellWidth(char32_t ch) {
  if (ch < 0x20 || ch == 0x7F || ch > 0x10FFFF) return 1;
  if (ch >= 0x300 && IsMark(ch)) return 0;
  for (const auto& [first, last] : kWideRanges) {
    if (ch >= first && ch <= last) return 2;
  }
  if (ch >= 0xFFE0 && ch <= 0xFFE6) return 2;
  return 1;
}

}  // namespace quenlow::console
