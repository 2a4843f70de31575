#include "desktop/WinClipboardPlatform.h"

#include <cstring>

#include "base/KernelHandle.h"

namespace kwo::desktop {
namespace {

constexpr wchar_t kOwnerClass[] = L"KwoClipboardOwner";
// Another program may hold the clipboard open for a moment (a clipboard
// viewer reading it): a few short tries before the run is typed instead.
constexpr int kPutTries = 5;
// Putting the user's clipboard back is worth a longer wait: the target may
// still be reading the pasted text.
constexpr int kRestoreTries = 100;
constexpr DWORD kTryPauseMs = 10;
// Held longer than that, the clipboard is tried again now and then, for a
// while, so that the user's clipboard comes back once the holder lets go.
constexpr UINT_PTR kRestoreTimer = 1;
constexpr UINT kRestoreTimerMs = 100;
constexpr ULONGLONG kRestoreRetryMs = 30000;
// Longest wait for the target to ask for the pasted text.
constexpr ULONGLONG kTakeTimeoutMs = 3000;

// The clipboard, open for this object's life.
class OpenedClipboard {
 public:
  OpenedClipboard(HWND owner, int tries) {
    for (int i = 0; i < tries && !open_; ++i) {
      if (i > 0) Sleep(kTryPauseMs);
      open_ = OpenClipboard(owner) != FALSE;
    }
  }
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

}  // namespace

WinClipboardPlatform::~WinClipboardPlatform() {
  // Going away: the user's clipboard goes back now, asked for or not.
  if (phase_ != Phase::Idle) TryRestore(kPutTries, true);
  if (window_ != nullptr) DestroyWindow(window_);
}

bool WinClipboardPlatform::EnsureWindow() {
  if (window_ != nullptr) return true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kOwnerClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  window_ = CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window_ == nullptr) return false;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

bool WinClipboardPlatform::PutText(std::u16string_view text) {
  if (Pasting() || !EnsureWindow()) return false;
  // The user's clipboard of an earlier paste first: saved now, the pasted
  // text would take its place for good. An earlier text not yet asked for
  // stays: its Ctrl+V still waits in the target's queue and brings in
  // whatever the clipboard holds when the target gets to it. Neither another
  // text nor the user's clipboard may be there then: this run is typed instead.
  if (phase_ != Phase::Idle && !TryRestore(1, false)) return false;
  text_.assign(text);
  const OpenedClipboard clipboard(window_, kPutTries);
  if (!clipboard) return false;
  saved_.Take();
  if (!EmptyClipboard()) {
    saved_.Clear();
    return false;
  }
  // Delayed rendering: the text is handed out in WM_RENDERFORMAT.
  SetClipboardData(CF_UNICODETEXT, nullptr);
  // Clipboard history and cloud clipboard leave such data alone.
  if (const UINT exclude = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing")) {
    OwnedGlobal mark(GlobalAlloc(GMEM_MOVEABLE, 1));
    if (mark && SetClipboardData(exclude, mark.get()) != nullptr) mark.release();
  }
  targetProcess_ = 0;
  targetWindow_ = GetForegroundWindow();
  if (targetWindow_ != nullptr) GetWindowThreadProcessId(targetWindow_, &targetProcess_);
  phase_ = Phase::Offered;
  return true;
}

bool WinClipboardPlatform::ReadText(std::u16string& text) {
  // A paste of ours holds the clipboard: the user's text is in the copy.
  if (phase_ != Phase::Idle) return saved_.Text(text);
  if (!EnsureWindow()) return false;
  const OpenedClipboard clipboard(window_, kPutTries);
  if (!clipboard) return false;
  return TextOfClipboardData(CF_UNICODETEXT, GetClipboardData(CF_UNICODETEXT), text);
}

void WinClipboardPlatform::Render() {
  OwnedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (text_.size() + 1) * sizeof(char16_t)));
  if (!memory) return;
  if (void* to = GlobalLock(memory.get())) {
    std::memcpy(to, text_.c_str(), (text_.size() + 1) * sizeof(char16_t));
    GlobalUnlock(memory.get());
    if (SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr) memory.release();
  }
  // Clipboard monitors of other programs may ask first; only the target's
  // request (or one that names no window) means the paste was taken.
  DWORD reader = 0;
  const HWND opener = GetOpenClipboardWindow();
  if (opener != nullptr) GetWindowThreadProcessId(opener, &reader);
  const bool byTarget = opener == nullptr || reader == targetProcess_;
  switch (phase_) {
    case Phase::Offered:
    case Phase::HandedOut:
      phase_ = byTarget ? Phase::Taken : Phase::HandedOut;
      break;
    case Phase::DueUnasked:
      phase_ = Phase::DueAsked;
      break;
    default:
      break;
  }
}

void WinClipboardPlatform::WaitUntilTaken() {
  if (!Pasting()) return;
  const ULONGLONG deadline = GetTickCount64() + kTakeTimeoutMs;
  for (;;) {
    // Only messages sent to this thread (WM_RENDERFORMAT among them) are
    // handled here; posted ones wait for the message loop. A request that
    // came while the keys went out is handled before any wait.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    const ULONGLONG now = GetTickCount64();
    if (phase_ == Phase::Taken || now >= deadline) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE, 0);
  }
}

void WinClipboardPlatform::Restore() {
  if (!Pasting()) return;
  phase_ = phase_ == Phase::Offered ? Phase::DueUnasked : Phase::DueAsked;
  // Never asked for, the text stays a while: a target slower than the wait
  // is still on its way to the paste, which must not bring the user's
  // clipboard in. Held open by someone, it stays until the holder lets go.
  if (TryRestore(kRestoreTries, false)) return;
  restoreDeadline_ = GetTickCount64() + kRestoreRetryMs;
  SetTimer(window_, kRestoreTimer, kRestoreTimerMs, nullptr);
}

bool WinClipboardPlatform::TryRestore(int tries, bool late) {
  if (phase_ == Phase::DueUnasked && !late) return false;
  const OpenedClipboard clipboard(window_, tries);
  if (!clipboard) return false;
  phase_ = Phase::Idle;
  KillTimer(window_, kRestoreTimer);
  // Another program that wrote to the clipboard since owns it now: its data stays.
  if (GetClipboardOwner() != window_ || !EmptyClipboard()) {
    saved_.Clear();
    return true;
  }
  text_.clear();
  saved_.PutBack();
  return true;
}

void WinClipboardPlatform::RetryRestore() {
  if (!RestoreDue()) {
    KillTimer(window_, kRestoreTimer);
    return;
  }
  // A target that has stopped answering has not got to its Ctrl+V yet: the
  // text waits for it, however long that takes.
  const bool late = GetTickCount64() >= restoreDeadline_ &&
                    !(IsWindow(targetWindow_) && IsHungAppWindow(targetWindow_));
  if (TryRestore(1, late) || !late) return;
  // Held for good: the pasted text stays.
  KillTimer(window_, kRestoreTimer);
  phase_ = Phase::Idle;
  saved_.Clear();
}

LRESULT CALLBACK WinClipboardPlatform::OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WinClipboardPlatform*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_RENDERFORMAT:
      if (self != nullptr && wParam == CF_UNICODETEXT) self->Render();
      return 0;
    case WM_TIMER:
      if (self != nullptr && wParam == kRestoreTimer) self->RetryRestore();
      return 0;
    case WM_RENDERALLFORMATS:
      // Going away while the text is still on the clipboard: leave it there whole.
      if (self != nullptr && OpenClipboard(window)) {
        if (GetClipboardOwner() == window) self->Render();
        CloseClipboard();
      }
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kwo::desktop
