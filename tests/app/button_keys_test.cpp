// Keys typed on the keyboard reach a movie's buttons under the codes buttons use.
#include <gtest/gtest.h>

#include "player/button_keys.h"

namespace orv {
namespace {

TEST(ButtonKeys, CharactersNameThemselvesAndTheEditingKeysHaveTheirOwnCodes) {
  EXPECT_EQ(buttonKeyFromCharacter('a'), 'a');
  EXPECT_EQ(buttonKeyFromCharacter('A'), 'A');
  EXPECT_EQ(buttonKeyFromCharacter(' '), ' ');
  EXPECT_EQ(buttonKeyFromCharacter('~'), '~');
  EXPECT_EQ(buttonKeyFromCharacter(13), 13);  // Enter
  EXPECT_EQ(buttonKeyFromCharacter(8), 8);    // Backspace
  EXPECT_EQ(buttonKeyFromCharacter(9), 18);   // Tab
  EXPECT_EQ(buttonKeyFromCharacter(27), 19);  // Escape
}

TEST(ButtonKeys, WhatNoButtonCanNameIsNoKey) {
  EXPECT_EQ(buttonKeyFromCharacter(1), 0);       // Ctrl+A
  EXPECT_EQ(buttonKeyFromCharacter(127), 0);     // Ctrl+Backspace
  EXPECT_EQ(buttonKeyFromCharacter(0x85), 0);    // a C1 control
  EXPECT_EQ(buttonKeyFromCharacter(0xD83D), 0);  // half a surrogate pair
  EXPECT_EQ(buttonKeyFromCharacter(0xFFFF), 0);     // no character
  EXPECT_EQ(buttonKeyFromCharacter(0x110000), 0);   // past Unicode
  // Typed letters past seven bits pass through for text fields.
  EXPECT_EQ(buttonKeyFromCharacter(0xE9), 0xE9);        // é
  EXPECT_EQ(buttonKeyFromCharacter(0x20AC), 0x20AC);    // €
  EXPECT_EQ(buttonKeyFromCharacter(0x1D719), 0x1D719);  // beyond the first plane
  EXPECT_EQ(buttonKeyFromVirtualKey('A'), 0);         // letters come as characters
  EXPECT_EQ(buttonKeyFromVirtualKey(0x0D), 0);        // so does Enter
}

TEST(ButtonKeys, ArrowAndPageKeys) {
  EXPECT_EQ(buttonKeyFromVirtualKey(0x25), 1);   // Left
  EXPECT_EQ(buttonKeyFromVirtualKey(0x27), 2);   // Right
  EXPECT_EQ(buttonKeyFromVirtualKey(0x24), 3);   // Home
  EXPECT_EQ(buttonKeyFromVirtualKey(0x23), 4);   // End
  EXPECT_EQ(buttonKeyFromVirtualKey(0x2D), 5);   // Insert
  EXPECT_EQ(buttonKeyFromVirtualKey(0x2E), 6);   // Delete
  EXPECT_EQ(buttonKeyFromVirtualKey(0x26), 14);  // Up
  EXPECT_EQ(buttonKeyFromVirtualKey(0x28), 15);  // Down
  EXPECT_EQ(buttonKeyFromVirtualKey(0x21), 16);  // Page Up
  EXPECT_EQ(buttonKeyFromVirtualKey(0x22), 17);  // Page Down
}

}  // namespace
}  // namespace orv
