#pragma once
// A notice the program shows on its own, while the user may be typing (the
// database cannot be read, a hotkey or a setting it cannot use, timed sending
// that could not type): titled "温馨提示" like every notice and on top, but it
// comes up without taking the activation, so that no typed key goes to it.
// It closes itself after its time, or at its button (a click, or Enter or Esc
// once the user has activated it). One at a time: a new text replaces the
// one shown and its time starts again.
#include <windows.h>

#include <string>

namespace kwo::app {

void ShowQuietNotice(const std::wstring& text, unsigned timeoutMs);

// True for the window of a notice shown above: it is no window that runs
// modally over the main window.
bool IsQuietNotice(HWND window);

}  // namespace kwo::app
