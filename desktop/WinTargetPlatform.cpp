#include "desktop/WinTargetPlatform.h"

#include <windows.h>

#include <vector>

#include "base/KernelHandle.h"

namespace kwo::desktop {
namespace {

HWND ToHwnd(WindowId window) { return reinterpret_cast<HWND>(window); }

ScreenRect FromRect(const RECT& rect) {
  return {static_cast<int32_t>(rect.left), static_cast<int32_t>(rect.top), static_cast<int32_t>(rect.right),
          static_cast<int32_t>(rect.bottom)};
}

ScreenRect WorkArea(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) return FromRect(info.rcWork);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return FromRect(work);
}

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

void WinTargetPlatform::HideWindow(WindowId window) { ShowWindow(ToHwnd(window), SW_HIDE); }

void WinTargetPlatform::PlaceWindow(WindowId window, int32_t left, int32_t top) {
  SetWindowPos(ToHwnd(window), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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

std::optional<ScreenRect> WinTargetPlatform::CaretOf(uint32_t thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (thread == 0 || !GetGUIThreadInfo(thread, &info) || info.hwndCaret == nullptr) return std::nullopt;
  // rcCaret is in the client coordinates of hwndCaret.
  POINT corners[2] = {{info.rcCaret.left, info.rcCaret.top}, {info.rcCaret.right, info.rcCaret.bottom}};
  SetLastError(0);
  if (MapWindowPoints(info.hwndCaret, nullptr, corners, 2) == 0 && GetLastError() != 0) return std::nullopt;
  return ScreenRect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

std::optional<ScreenRect> WinTargetPlatform::WindowRect(WindowId window) {
  RECT rect{};
  if (window == 0 || !GetWindowRect(ToHwnd(window), &rect)) return std::nullopt;
  return FromRect(rect);
}

ScreenRect WinTargetPlatform::WorkAreaOf(WindowId window) {
  return WorkArea(MonitorFromWindow(ToHwnd(window), MONITOR_DEFAULTTONEAREST));
}

ScreenRect WinTargetPlatform::WorkAreaNear(const ScreenRect& rect) {
  const RECT area{rect.left, rect.top, rect.right, rect.bottom};
  return WorkArea(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST));
}

uint64_t WinTargetPlatform::NowMs() { return GetTickCount64(); }

keys::LocalDateTime WinTargetPlatform::LocalNow() {
  SYSTEMTIME time{};
  GetLocalTime(&time);
  return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

void WinTargetPlatform::Wait(uint32_t milliseconds) {
  // Messages that other threads send to this one are handled meanwhile (a
  // window being activated may wait for an answer); posted ones stay queued.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_SENDMESSAGE);
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace kwo::desktop
