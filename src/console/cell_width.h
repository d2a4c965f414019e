// How many cells a character takes on the terminal, by the C library's
// character tables for the current locale: the same answer curses and the
// terminal itself go by (cell_width_posix.cpp); on Windows by the console's
// wide blocks and the system's table of combining marks
// (cell_width_windows.cpp).
#pragma once

namespace quenlow::console {

// 2 for a wide character (CJK, most emoji), 0 for a combining mark drawn over
// the character before it, 1 for everything else: control characters and
// characters the tables do not know are shown by a one-cell stand-in.
int CellWidth(char32_t ch);

}  // namespace quenlow::console
