#pragma once
// Key codes the text viewer reads from its queue. Characters arrive as their
// Unicode value (32 and above), Ctrl+letter as 1 to 26 (Ctrl+A = 1), Ctrl+[
// as 27 and Ctrl+] as 29; the keys below have codes of their own.

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
