#pragma once
// Key codes the text viewer reads from its queue. Ctrl+letter arrives as 1 to
// 26 (Ctrl+A = 1), Ctrl+[ as 27 and Ctrl+] as 29; the keys below have codes of
// their own. A typed character arrives as its Unicode value marked with
// KEY_TYPED_CHARACTER, so that no character (U+1000 and up included) can be
// taken for a key and no key for a character.
#include <cstdint>

const int KEY_CTRL_C = 3;
const int KEY_CTRL_F = 6;
const int KEY_CTRL_G = 7;
const int KEY_BACKSPACE = 8;
const int KEY_TAB = 9;
const int KEY_CTRL_J = 10;
const int KEY_CTRL_L = 12;
const int KEY_ENTER = 13;
const int KEY_CTRL_O = 15;
const int KEY_CTRL_P = 16;
const int KEY_CTRL_R = 18;
const int KEY_CTRL_V = 22;
const int KEY_CTRL_W = 23;
const int KEY_ESCAPE = 27;
const int KEY_CTRL_CLOSE_BRACKET = 29;

const int KEY_DOWN = 4096;
const int KEY_UP = 4097;
const int KEY_PPAGE = 4098;   // Page Up
const int KEY_NPAGE = 4099;   // Page Down
const int KEY_RIGHT = 4100;
const int KEY_LEFT = 4101;
const int KEY_HOME = 4102;
const int KEY_END = 4103;
const int KEY_IC = 4104;      // Insert
const int KEY_DC = 4105;      // Delete
const int KEY_F1 = 4106;
const int KEY_F3 = 4108;
const int KEY_F10 = 4115;
const int KEY_F12 = 4117;

const int KEY_TYPED_CHARACTER = 0x1000000;
const uint32_t LAST_CHARACTER = 0x10FFFF;

inline int TypedCharacterKey(uint32_t character) {
  return character <= LAST_CHARACTER ? KEY_TYPED_CHARACTER | static_cast<int>(character) : -1;
}
inline bool IsTypedCharacter(int key) {
  return key >= KEY_TYPED_CHARACTER &&
         key <= KEY_TYPED_CHARACTER + static_cast<int>(LAST_CHARACTER);
}
inline uint32_t TypedCharacter(int key) {
  return static_cast<uint32_t>(key - KEY_TYPED_CHARACTER);
}
