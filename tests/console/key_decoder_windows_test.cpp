// The Windows console's key events as the dialogue's keys, from made-up
// events as the console sends them (run under Wine).
#include "console/key_decoder_windows.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace quenlow::console {
namespace {

KEY_EVENT_RECORD Event(bool down, WORD key, wchar_t ch, DWORD state = 0) {
  KEY_EVENT_RECORD event{};
  event.bKeyDown = down ? TRUE : FALSE;
  event.wRepeatCount = 1;
  event.wVirtualKeyCode = key;
  event.uChar.UnicodeChar = ch;
  event.dwControlKeyState = state;
  return event;
}

// What a run of events types: the characters, with 1 for a key that types
// nothing and 8 and 13 for Backspace and Enter.
std::u32string Typed(const std::vector<KEY_EVENT_RECORD>& events) {
  KeyDecoder decoder;
  std::u32string typed;
  for (const KEY_EVENT_RECORD& event : events) {
    const std::optional<Key> key = decoder.Decode(event);
    if (!key) continue;
    switch (key->kind) {
      case Key::Kind::Character: typed += key->ch; break;
      case Key::Kind::Backspace: typed += U'\b'; break;
      case Key::Kind::Enter: typed += U'\r'; break;
      case Key::Kind::NonCharacter: typed += U'\1'; break;
    }
  }
  return typed;
}

TEST(KeyDecoder, TypesWhatTheConsoleSendsAsAUserMeansIt) {
  constexpr DWORD kAlt = LEFT_ALT_PRESSED;
  constexpr DWORD kAltGr = RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED;
  struct Case {
    const char* what;
    std::vector<KEY_EVENT_RECORD> events;
    std::u32string typed;
  };
  const Case cases[] = {
      {"a letter, pressed and released", {Event(true, 'A', L'a'), Event(false, 'A', L'a')}, U"a"},
      {"Shift alone", {Event(true, VK_SHIFT, 0, SHIFT_PRESSED), Event(false, VK_SHIFT, 0)}, U""},
      {"Backspace, Enter and Escape by key code",
       {Event(true, VK_BACK, 8), Event(true, VK_RETURN, 13), Event(true, VK_ESCAPE, 27)}, U"\b\r\x1b"},
      {"Alt with a letter", {Event(true, 'B', L'b', kAlt)}, U"\1"},
      {"AltGr with a key", {Event(true, 'E', L'\u20ac', kAltGr)}, U"\u20ac"},
      {"an arrow key", {Event(true, VK_UP, 0, ENHANCED_KEY)}, U"\1"},
      // Alt held, 0 2 3 3 on the keypad, Alt released: the console sends
      // the character with the release.
      {"Alt+0233 on the keypad",
       {Event(true, VK_MENU, 0, kAlt), Event(true, VK_NUMPAD0, 0, kAlt | NUMLOCK_ON),
        Event(false, VK_NUMPAD0, 0, kAlt | NUMLOCK_ON), Event(true, VK_NUMPAD2, 0, kAlt | NUMLOCK_ON),
        Event(false, VK_NUMPAD2, 0, kAlt | NUMLOCK_ON), Event(true, VK_NUMPAD3, 0, kAlt | NUMLOCK_ON),
        Event(false, VK_NUMPAD3, 0, kAlt | NUMLOCK_ON), Event(true, VK_NUMPAD3, 0, kAlt | NUMLOCK_ON),
        Event(false, VK_NUMPAD3, 0, kAlt | NUMLOCK_ON), Event(false, VK_MENU, L'\u00e9', 0)},
       U"\1\1\1\1\u00e9"},
      {"Alt pressed and released alone", {Event(true, VK_MENU, 0, kAlt), Event(false, VK_MENU, 0)}, U""},
      {"a character beyond 16 bits in two halves", {Event(true, 0, 0xD83C), Event(true, 0, 0xDFB5)}, U"\U0001F3B5"},
      {"the same through Alt's release", {Event(false, VK_MENU, 0xD83C), Event(false, VK_MENU, 0xDFB5)},
       U"\U0001F3B5"},
      {"a lone second half", {Event(true, 0, 0xDFB5), Event(true, 'A', L'a')}, U"a"},
  };
  for (const Case& c : cases) EXPECT_EQ(Typed(c.events), c.typed) << c.what;
}

}  // namespace
}  // namespace quenlow::console
