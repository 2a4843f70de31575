#include "keys/WinTargetPlatform.h"

#include <windows.h>

#include <vector>

#include "base/KernelHandle.h"

namespace kwo::keys {
namespace {

HWND ToHwnd(WindowId window) { return reinterpret_cast<HWND>(window); }

// The RID of the token's mandatory label, read into a buffer of the size the token asks for.
IntegrityProbe TokenIntegrity(HANDLE process) {
  IntegrityProbe probe;
  HANDLE opened = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &opened)) return probe;
  const OwnedHandle token(opened);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size != 0 && GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size)) {
    const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
    const PSID sid = label->Label.Sid;
    if (sid != nullptr && IsValidSid(sid) && *GetSidSubAuthorityCount(sid) > 0) {
      probe.level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
      probe.known = true;
    }
  }
  return probe;
}

}  // namespace

WindowId WinTargetPlatform::ForegroundWindow() { return reinterpret_cast<WindowId>(GetForegroundWindow()); }

uint32_t WinTargetPlatform::WindowThread(WindowId window) {
  return window == 0 ? 0 : GetWindowThreadProcessId(ToHwnd(window), nullptr);
}

bool WinTargetPlatform::CanBeTarget(WindowId window) {
  DWORD process = 0;
  GetWindowThreadProcessId(ToHwnd(window), &process);
  if (process == 0 || process == GetCurrentProcessId()) return false;
  // A click on the notification icon makes the taskbar the foreground window.
  wchar_t className[32] = {};
  GetClassNameW(ToHwnd(window), className, 32);
  return lstrcmpW(className, L"Shell_TrayWnd") != 0 && lstrcmpW(className, L"Shell_SecondaryTrayWnd") != 0;
}

bool WinTargetPlatform::WindowExists(WindowId window) { return window != 0 && IsWindow(ToHwnd(window)); }

bool WinTargetPlatform::WindowAnswers(WindowId window, uint32_t timeoutMs) {
  if (IsHungAppWindow(ToHwnd(window))) return false;
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(ToHwnd(window), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &ignored) != 0;
}

void WinTargetPlatform::RequestForeground(WindowId window) {
  const HWND hwnd = ToHwnd(window);
  if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
  SetForegroundWindow(hwnd);
}

bool WinTargetPlatform::ThreadHasFocus(uint32_t thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr;
}

bool WinTargetPlatform::KeyIsDown(uint16_t vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

IntegrityProbe WinTargetPlatform::WindowIntegrity(WindowId window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(ToHwnd(window), &processId);
  const OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return {};
  return TokenIntegrity(process.get());
}

IntegrityProbe WinTargetPlatform::OwnIntegrity() { return TokenIntegrity(GetCurrentProcess()); }

uint64_t WinTargetPlatform::NowMs() { return GetTickCount64(); }

void WinTargetPlatform::Wait(uint32_t milliseconds) {
  // Messages that other threads send to this one are handled meanwhile (a
  // window being activated may wait for an answer); posted ones stay queued.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_SENDMESSAGE);
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace kwo::keys
