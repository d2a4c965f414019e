// The console's key events as the dialogue's keys (terminal_windows.cpp).
// Windows only; apart from the backend so that it can be tested with made-up
// events.
#pragma once

#include <windows.h>

#include <optional>

#include "console/console_backend.h"

namespace quenlow::console {

class KeyDecoder {
 public:
  // The key an event stands for; nothing for an event that is no key of its
  // own (a key released, Shift alone, half of a character beyond 16 bits).
  std::optional<Key> Decode(const KEY_EVENT_RECORD& event);

 private:
  std::optional<Key> Character(wchar_t ch);

  wchar_t highHalf_ = 0;
};

}  // namespace quenlow::console
