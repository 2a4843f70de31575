#pragma once
// Keyboard input through SendInput, into whatever window has the focus.
#include <windows.h>

#include <string>
#include <vector>

namespace kwo::wine_test {

// Modifiers go down in order, the key is pressed and released, the modifiers go up in reverse; one SendInput call.
void SendChord(const std::vector<WORD>& modifiers, WORD key);
// One key going down or up alone (a key held across driver runs).
void SendKeyEvent(WORD vk, bool up);
// "RETURN", "CTRL+A", "0x41", ...: the virtual keys, the last one being the key, the others modifiers.
bool ParseChord(const std::wstring& chord, std::vector<WORD>& keys);
// One Unicode down/up pair per UTF-16 code unit, one SendInput call per pair.
void TypeUnicode(const std::wstring& text);
// The left mouse button pressed and released at a point of the screen, once or twice (a double-click).
void ClickAt(POINT point, bool twice);

}  // namespace kwo::wine_test
