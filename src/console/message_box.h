// A framed box over the middle of the screen, closed by the user.
#pragma once

#include <string_view>

#include "console/console.h"

namespace quenlow::console {

// Draws the title in the top border and the text, character for character,
// inside; a text wider than the screen allows is wrapped. Waits for Enter,
// Space or Escape and then puts back every cell, the colours and the cursor
// as they were before.
void ShowMessageBox(Console& console, std::string_view text, std::string_view title);

}  // namespace quenlow::console
