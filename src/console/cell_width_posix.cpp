#include "console/cell_width.h"

#include <cwchar>

namespace quenlow::console {

int CellWidth(char32_t ch) {
  if (ch < 0x20 || ch == 0x7F || ch > 0x10FFFF) return 1;
  const int width = ::wcwidth(static_cast<wchar_t>(ch));
  return width < 0 || width > 2 ? 1 : width;
}

}  // namespace quenlow::console
