#pragma once
// Opening a help-menu link or the help file with the shell, and telling the
// user when that fails.
#include <windows.h>

#include <string>

namespace kwo::app {

// Opens `target` with the shell. When that fails, a message box over `owner`
// names `what` (a help-menu link, the help file), the target, the reason as
// Windows gives it and, when given, a `hint` what to do. False when it failed.
bool OpenOrTell(HWND owner, const std::wstring& target, const std::wstring& what, const std::wstring& hint = {});

}  // namespace kwo::app
