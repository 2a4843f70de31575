#include "ui/TimedNotice.h"

#include <windows.h>

namespace kwo::ui {

namespace {

// Exported by user32 since Windows XP but not declared in its headers.
using MessageBoxTimeoutFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT, WORD, DWORD);

MessageBoxTimeoutFn LookUpMessageBoxTimeout() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<MessageBoxTimeoutFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "MessageBoxTimeoutW")));
}

}  // namespace

int ShowTimedNotice(const std::wstring& text, unsigned timeoutMs) {
  static const MessageBoxTimeoutFn messageBoxTimeout = LookUpMessageBoxTimeout();
  if (messageBoxTimeout == nullptr) return 0;
  constexpr UINT kStyle = MB_ICONINFORMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND;  // 0x11040
  return messageBoxTimeout(nullptr, text.c_str(), L"温馨提示", kStyle, 0, timeoutMs);
}

}  // namespace kwo::ui
