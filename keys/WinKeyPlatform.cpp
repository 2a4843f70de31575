#include "keys/WinKeyPlatform.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace kwo::keys {
namespace {

constexpr int kTitleBufferSize = 300;

INPUT ToInput(const KeyEvent& event) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = event.vk;
  input.ki.wScan = event.scan;
  input.ki.dwFlags = event.flags;
  input.ki.time = 0;
  input.ki.dwExtraInfo = 0;
  return input;
}

struct TitleSearch {
  std::wstring_view title;
  HWND found = nullptr;
};

// EnumWindows callback: stops at the first window whose title contains the
// text, compared code unit by code unit.
BOOL CALLBACK MatchTitle(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<TitleSearch*>(context);
  wchar_t buffer[kTitleBufferSize];
  const int length = GetWindowTextW(window, buffer, kTitleBufferSize);
  if (length <= 0) return TRUE;
  if (std::wstring_view(buffer, static_cast<size_t>(length)).find(search.title) == std::wstring_view::npos) {
    return TRUE;
  }
  search.found = window;
  return FALSE;
}

// Keys sent before the window's thread has taken the activation are lost
// (seen under Wine): wait, for a bounded time, until a window of that thread is
// in front and has set its focus.
void WaitUntilReadyForKeys(HWND window) {
  constexpr ULONGLONG kTimeoutMs = 1000;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
  for (;;) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const HWND front = GetForegroundWindow();
    if (front != nullptr && GetWindowThreadProcessId(front, nullptr) == thread && GetGUIThreadInfo(thread, &info) &&
        info.hwndFocus != nullptr) {
      return;
    }
    if (GetTickCount64() >= deadline) return;
    ::Sleep(10);
  }
}

// Keys already sent belong to the window in front now. Before another window
// is activated, its thread must have taken them from its queue, or they would
// follow the activation into the new window. A round trip of WM_NULL comes
// back once that thread has returned to its message loop; bounded, so that a
// hung window does not stop the typing.
void LetForegroundTakeItsKeys(HWND newWindow) {
  constexpr UINT kTimeoutMs = 1000;
  const HWND old = GetForegroundWindow();
  if (old == nullptr || old == newWindow) return;
  DWORD process = 0;
  GetWindowThreadProcessId(old, &process);
  if (process == GetCurrentProcessId()) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(old, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &ignored);
}

HWND FindWindowByTitle(const std::wstring& title) {
  if (HWND exact = FindWindowW(nullptr, title.c_str())) return exact;
  if (title.empty()) return nullptr;  // an empty text is in every title: no match
  TitleSearch search{title};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

bool WinKeyPlatform::SendEvents(const KeyEvent* events, size_t count) {
  if (count == 0) return true;
  constexpr size_t kOnStack = 8;
  if (count <= kOnStack) {
    INPUT inputs[kOnStack];
    for (size_t i = 0; i < count; ++i) inputs[i] = ToInput(events[i]);
    return SendInput(static_cast<UINT>(count), inputs, sizeof(INPUT)) == count;
  }
  std::vector<INPUT> inputs(count);
  for (size_t i = 0; i < count; ++i) inputs[i] = ToInput(events[i]);
  return SendInput(static_cast<UINT>(count), inputs.data(), sizeof(INPUT)) == count;
}

uint16_t WinKeyPlatform::ScanCode(uint16_t vk) {
  return static_cast<uint16_t>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
}

void WinKeyPlatform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

void WinKeyPlatform::Beep(uint32_t frequency, uint32_t milliseconds) { ::Beep(frequency, milliseconds); }

bool WinKeyPlatform::ActivateWindow(std::u16string_view title) {
  const HWND window = FindWindowByTitle(std::wstring(title.begin(), title.end()));
  if (window == nullptr) return false;
  LetForegroundTakeItsKeys(window);
  const auto self = reinterpret_cast<LPARAM>(window);
  SendMessageW(window, WM_SYSCOMMAND, SC_HOTKEY, self);
  SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, self);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  SetFocus(window);
  WaitUntilReadyForKeys(window);
  return true;
}

}  // namespace kwo::keys
