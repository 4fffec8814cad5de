#pragma once
// Keys as a movie's buttons name them, from what the keyboard reports.

namespace orv {

// A typed character: printable characters are their own code (those past seven bits
// reach only text fields); Enter, Backspace, Tab and Escape have codes of their own. 0 for
// control characters and halves of surrogate pairs.
int buttonKeyFromCharacter(unsigned character);

// A key that types no character (Windows virtual-key codes): arrows, Home, End, Insert,
// Delete, Page Up and Page Down. 0 for the others, which arrive as characters.
int buttonKeyFromVirtualKey(unsigned virtualKey);

}  // namespace orv
