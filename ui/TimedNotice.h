#pragma once
// A message box without owner, titled "温馨提示", that closes itself.
#include <string>

namespace kwo::ui {

// Returns the box's result, or 0 when no box could be shown (user32 without
// MessageBoxTimeoutW).
int ShowTimedNotice(const std::wstring& text, unsigned timeoutMs);

}  // namespace kwo::ui
