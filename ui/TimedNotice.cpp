#include "ui/TimedNotice.h"

#include <windows.h>

#include "base/SystemLibrary.h"

namespace kwo::ui {

namespace {

// Exported by user32 since Windows XP but not declared in its headers.
using MessageBoxTimeoutFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT, WORD, DWORD);

constexpr wchar_t kCaption[] = L"温馨提示";
constexpr int kTimedOut = 32000;  // what MessageBoxTimeoutW returns when the time is up

// Some user32 implementations (Wine's) accept the timeout but never close the
// box. A thread timer shortly after the timeout closes a notice that is still
// there, with the result a timed-out box gives.
BOOL CALLBACK CloseNotice(HWND window, LPARAM) {
  wchar_t className[16] = {};
  wchar_t caption[16] = {};
  GetClassNameW(window, className, 16);
  GetWindowTextW(window, caption, 16);
  if (lstrcmpW(className, L"#32770") == 0 && lstrcmpW(caption, kCaption) == 0) EndDialog(window, kTimedOut);
  return TRUE;
}

void CALLBACK OnNoticeOverdue(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), &CloseNotice, 0);
}

constexpr unsigned kGraceMs = 300;

}  // namespace

int ShowTimedNotice(const std::wstring& text, unsigned timeoutMs) {
  static const auto messageBoxTimeout = SystemFunction<MessageBoxTimeoutFn>(L"user32.dll", "MessageBoxTimeoutW");
  if (messageBoxTimeout == nullptr) return 0;
  constexpr UINT kStyle = MB_ICONINFORMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND;  // 0x11040
  const UINT_PTR backstop = SetTimer(nullptr, 0, timeoutMs + kGraceMs, &OnNoticeOverdue);
  const int result = messageBoxTimeout(nullptr, text.c_str(), kCaption, kStyle, 0, timeoutMs);
  if (backstop != 0) KillTimer(nullptr, backstop);
  return result;
}

}  // namespace kwo::ui
