#include "desktop/WinKeyPlatform.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/TargetLock.h"
#include "desktop/WinTargetPlatform.h"

namespace kwo::desktop {
namespace {

constexpr int kTitleBufferSize = 300;
// Hotkey ids of Esc while a sending runs (ids up to 0xBFFF are the
// program's own): one per combination of the four modifiers, since a
// modifier the sequence holds down is part of the user's press.
constexpr int kEscapeHotKeyId = 0xBF00;
constexpr UINT kModifierCombinations = 16;  // MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN
// Between key events without a pause, the messages are looked at this often.
constexpr uint64_t kPumpEveryMs = 10;
// A pause looks at the Esc key at least this often: pressed with a modifier
// the sequence holds, Esc is no hotkey and shows only in the key state.
constexpr DWORD kEscapePollMs = 30;
// The wait for an activated window to take the focus, and how often it looks.
constexpr uint32_t kActivateWaitMs = 1000;
constexpr uint32_t kActivatePollMs = 10;

INPUT ToInput(const keys::KeyEvent& event) {
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

WinKeyPlatform::~WinKeyPlatform() { HoldEscape(false); }

void WinKeyPlatform::BeginSending() {
  sending_ = true;
  cancelled_ = false;
  takenHotKeyWindow_ = nullptr;
  lastPumpMs_ = GetTickCount64();
  HoldEscape(true);
}

void WinKeyPlatform::EndSending() {
  HoldEscape(false);
  sending_ = false;
  cancelled_ = false;
  escapePressedHere_ = false;
}

void WinKeyPlatform::HoldEscape(bool hold) {
  if (hold == escapeHeld_) return;
  escapeHeld_ = hold;
  for (UINT modifiers = 0; modifiers < kModifierCombinations; ++modifiers) {
    const int id = kEscapeHotKeyId + static_cast<int>(modifiers);
    // A combination the system or another program keeps is left out: Esc
    // still shows in the key state, which the pauses look at as well.
    if (hold) {
      RegisterHotKey(nullptr, id, modifiers, VK_ESCAPE);
    } else {
      UnregisterHotKey(nullptr, id);
    }
  }
}

void WinKeyPlatform::Pump() {
  lastPumpMs_ = GetTickCount64();
  if (!escapePressedHere_ && (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0) cancelled_ = true;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_HOTKEY) {
      // Esc or the activation hotkey: the user wants the sending stopped,
      // and nothing else done with that press.
      cancelled_ = true;
      if (message.hwnd != nullptr) {
        takenHotKeyWindow_ = message.hwnd;
        takenHotKeyId_ = message.wParam;
        takenHotKeyKeys_ = message.lParam;
      }
      continue;
    }
    if (message.message == WM_QUIT) {
      // The program is ending: the sending stops, the message loop gets the quit back.
      PostQuitMessage(static_cast<int>(message.wParam));
      cancelled_ = true;
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void WinKeyPlatform::GiveBackUnusedHotKey() {
  if (takenHotKeyWindow_ == nullptr) return;
  PostMessageW(static_cast<HWND>(takenHotKeyWindow_), WM_HOTKEY, takenHotKeyId_, takenHotKeyKeys_);
  takenHotKeyWindow_ = nullptr;
}

bool WinKeyPlatform::Cancelled() {
  if (sending_ && !cancelled_ && GetTickCount64() - lastPumpMs_ >= kPumpEveryMs) Pump();
  return cancelled_;
}

bool WinKeyPlatform::SendEvents(const keys::KeyEvent* events, size_t count) {
  if (count == 0) return true;
  // Esc pressed by the sequence itself is no cancel: the hotkey is let go for it.
  bool escape = false;
  for (size_t i = 0; i < count; ++i) escape = escape || events[i].vk == VK_ESCAPE;
  if (!escape) return SendInputs(events, count);
  const bool held = escapeHeld_;
  HoldEscape(false);
  const bool sent = SendInputs(events, count);
  HoldEscape(held);
  // Held down by the sequence ({ESC+}), Esc is no cancel until let go.
  for (size_t i = 0; i < count; ++i) {
    if (events[i].vk == VK_ESCAPE) escapePressedHere_ = (events[i].flags & keys::kKeyUp) == 0;
  }
  return sent;
}

bool WinKeyPlatform::SendInputs(const keys::KeyEvent* events, size_t count) {
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

void WinKeyPlatform::Sleep(uint32_t milliseconds) {
  if (!sending_) {
    ::Sleep(milliseconds);
    return;
  }
  // However long the pause, the program keeps answering, and Esc or the
  // hotkey ends it.
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    Pump();
    const ULONGLONG now = GetTickCount64();
    if (cancelled_ || now >= deadline) return;
    const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, kEscapePollMs));
    MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

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
  // Keys sent before the window's thread has taken the activation are lost
  // (seen under Wine): wait, for a bounded time, until a window of that
  // thread is in front and has set its focus. Asked once, by the calls above.
  LockTimes times;
  times.frontMs = kActivateWaitMs;
  times.pollMs = kActivatePollMs;
  times.askAgainMs = kActivateWaitMs;
  WinTargetPlatform desktop;
  AwaitFront(desktop, {reinterpret_cast<WindowId>(window), GetWindowThreadProcessId(window, nullptr)}, times);
  return true;
}

}  // namespace kwo::desktop
