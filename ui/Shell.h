#pragma once
// Opening files, folders and addresses with the program the system has for
// them, and the system's own words for what went wrong.
#include <windows.h>

#include <string>

namespace kwo::ui {

// Opens `target` ("open" verb). 0 when it was opened, else the Windows error code.
DWORD ShellOpen(HWND owner, const std::wstring& target, int showCommand = SW_SHOWNORMAL);

// The Windows error code for a ShellExecuteW or WinExec result of 32 or below.
DWORD ShellResultError(INT_PTR result);

// The system's text for a Windows error code (FormatMessageW, in the user's
// language), without the line end; "错误代码 N" when the system has none.
std::wstring SystemErrorText(DWORD error);

}  // namespace kwo::ui
