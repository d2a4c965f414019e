#include "console/key_decoder_windows.h"

namespace quenlow::console {
namespace {

bool AloneIsNoKey(WORD virtualKey) {
  switch (virtualKey) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT:
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL:
    case VK_MENU: case VK_LMENU: case VK_RMENU:
    case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL:
    case VK_LWIN: case VK_RWIN:
      return true;
    default:
      return false;
  }
}

}  // namespace

// Shift, Ctrl, Alt and the lock keys alone are no key; Backspace, Enter and
// Escape are known by their key codes, whatever character the keyboard
// layout gives them; Alt with a letter types nothing, while AltGr (which
// the console reports as Ctrl and Alt) types its character. A character
// typed as Alt and its number on the keypad arrives with the release of Alt;
// the keypad keys pressed meanwhile type nothing.
std::optional<Key> KeyDecoder::Decode(const KEY_EVENT_RECORD& event) {
  const wchar_t ch = event.uChar.UnicodeChar;
  if (!event.bKeyDown) {
    if (event.wVirtualKeyCode == VK_MENU && ch != 0) return Character(ch);
    return std::nullopt;
  }
  if (AloneIsNoKey(event.wVirtualKeyCode)) return std::nullopt;
  if (event.wVirtualKeyCode == VK_BACK) return Key{Key::Kind::Backspace, 0, {}};
  if (event.wVirtualKeyCode == VK_RETURN) return Key{Key::Kind::Enter, 0, {}};
  if (event.wVirtualKeyCode == VK_ESCAPE) return Key{Key::Kind::Character, 27, {}};
  const DWORD state = event.dwControlKeyState;
  const bool alt = (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
  const bool ctrl = (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
  if (ch == 0 || (alt && !ctrl)) return Key{Key::Kind::NonCharacter, 0, {}};
  return Character(ch);
}

// A character beyond 16 bits comes as two halves, one event each.
std::optional<Key> KeyDecoder::Character(wchar_t ch) {
  if (ch >= 0xD800 && ch <= 0xDBFF) {
    highHalf_ = ch;
    return std::nullopt;
  }
  if (ch >= 0xDC00 && ch <= 0xDFFF) {
    if (highHalf_ == 0) return std::nullopt;
    const char32_t full = 0x10000 + ((static_cast<char32_t>(highHalf_) - 0xD800) << 10) + (ch - 0xDC00);
    highHalf_ = 0;
    return Key{Key::Kind::Character, full, {}};
  }
  highHalf_ = 0;
  return Key{Key::Kind::Character, static_cast<char32_t>(ch), {}};
}

}  // namespace quenlow::console
