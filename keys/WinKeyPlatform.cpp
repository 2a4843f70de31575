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

HWND FindWindowByTitle(const std::wstring& title) {
  if (HWND exact = FindWindowW(nullptr, title.c_str())) return exact;
  if (title.empty()) return nullptr;  // an empty text is in every title: no match
  TitleSearch search{title};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

void WinKeyPlatform::SendEvents(const KeyEvent* events, size_t count) {
  if (count == 0) return;
  constexpr size_t kOnStack = 8;
  if (count <= kOnStack) {
    INPUT inputs[kOnStack];
    for (size_t i = 0; i < count; ++i) inputs[i] = ToInput(events[i]);
    SendInput(static_cast<UINT>(count), inputs, sizeof(INPUT));
    return;
  }
  std::vector<INPUT> inputs(count);
  for (size_t i = 0; i < count; ++i) inputs[i] = ToInput(events[i]);
  SendInput(static_cast<UINT>(count), inputs.data(), sizeof(INPUT));
}

uint16_t WinKeyPlatform::ScanCode(uint16_t vk) {
  return static_cast<uint16_t>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
}

void WinKeyPlatform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

void WinKeyPlatform::Beep(uint32_t frequency, uint32_t milliseconds) { ::Beep(frequency, milliseconds); }

bool WinKeyPlatform::ActivateWindow(std::u16string_view title) {
  const HWND window = FindWindowByTitle(std::wstring(title.begin(), title.end()));
  if (window == nullptr) return false;
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
