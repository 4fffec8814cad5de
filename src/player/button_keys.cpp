#include "player/button_keys.h"

namespace orv {

int buttonKeyFromCharacter(unsigned character) {
  switch (character) {
    case 8:
      return 8;  // Backspace
    case 9:
      return 18;  // Tab
    case 13:
      return 13;  // Enter
    case 27:
      return 19;  // Escape
    default:
      break;
  }
  // Control characters name no key. Characters past seven bits name no button's key
  // but are typed into text fields (a lone half of a surrogate pair is not).
  if (character >= 32 && character < 127) return static_cast<int>(character);
  const bool surrogate = character >= 0xD800 && character < 0xE000;
  const bool noncharacter = (character & 0xFFFE) == 0xFFFE;
  return character >= 0xA0 && character <= 0x10FFFF && !surrogate && !noncharacter
             ? static_cast<int>(character)
             : 0;
}

int buttonKeyFromVirtualKey(unsigned virtualKey) {
  switch (virtualKey) {
    case 0x25:
      return 1;  // Left
    case 0x27:
      return 2;  // Right
    case 0x24:
      return 3;  // Home
    case 0x23:
      return 4;  // End
    case 0x2D:
      return 5;  // Insert
    case 0x2E:
      return 6;  // Delete
    case 0x26:
      return 14;  // Up
    case 0x28:
      return 15;  // Down
    case 0x21:
      return 16;  // Page Up
    case 0x22:
      return 17;  // Page Down
    default:
      return 0;
  }
}

}  // namespace orv
