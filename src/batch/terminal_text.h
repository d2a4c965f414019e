// Text bound for a terminal: names are bytes, and a name holding an escape
// sequence, a newline or a byte that is not UTF-8 must neither act on the
// terminal nor split a line.
#pragma once

#include <cstddef>
#include <string>

namespace quenlow {

// Control characters as \n, \t, \r or \xNN, and bytes outside well-formed
// UTF-8 as \xNN; a backslash stays as it is.
std::string VisibleText(const std::string& text);

// How many terminal cells the text takes (valid UTF-8, no controls): wide
// characters take two, combining marks none.
std::size_t CellWidth(const std::string& text);

// The longest start of the text that fits in `cells`, cut between
// characters.
std::string FitToCells(const std::string& text, std::size_t cells);

}  // namespace quenlow
