#pragma once
// Finding the windows of other processes by the selectors the driver takes.
#include <windows.h>

#include <string>

namespace kwo::wine_test {

// "TITLE", "class:CLASS", "class:CLASS|TITLE", "hwnd:0x..." or "foreground"; null if none.
HWND FindTopWindow(const std::wstring& selector);
// Inside top: a decimal control id, "focus", "self", or "-" for the first Edit (else top itself).
HWND FindControl(HWND top, const std::wstring& selector);

std::wstring ClassOf(HWND hwnd);
std::wstring TitleOf(HWND hwnd);  // the caption (GetWindowTextW), not an edit's text
std::wstring HandleText(HWND hwnd);  // "hwnd:0x..." as FindTopWindow takes it

}  // namespace kwo::wine_test
