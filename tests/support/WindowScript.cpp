#include "support/WindowScript.h"

namespace kwo::test {

namespace {
ModalScript* g_running = nullptr;
constexpr unsigned kTickMs = 30;

BOOL CALLBACK EndEveryDialog(HWND window, LPARAM) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (lstrcmpW(className, L"#32770") == 0) EndDialog(window, IDCANCEL);
  return TRUE;
}
}  // namespace

bool CanCreateWindows() {
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

std::vector<HWND> ThreadDialogs() {
  std::vector<HWND> dialogs;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (lstrcmpW(className, L"#32770") == 0) reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&dialogs));
  return dialogs;
}

std::wstring WindowTitle(HWND window) {
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  return caption;
}

std::wstring DialogText(HWND box) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  return text;
}

HWND FindThreadDialog(const std::wstring& title) {
  for (HWND dialog : ThreadDialogs()) {
    if (WindowTitle(dialog) == title) return dialog;
  }
  return nullptr;
}

void ModalScript::Run(const std::function<void()>& runModal, unsigned timeoutMs) {
  g_running = this;
  ticksLeft_ = timeoutMs / kTickMs + 1;
  const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, &ModalScript::Tick);
  runModal();
  KillTimer(nullptr, timer);
  g_running = nullptr;
}

void CALLBACK ModalScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  ModalScript* self = g_running;
  if (self == nullptr) return;
  if (self->ticksLeft_ == 0) return;
  if (--self->ticksLeft_ == 0) {
    EnumThreadWindows(GetCurrentThreadId(), &EndEveryDialog, 0);
    return;
  }
  static bool busy = false;  // a step that opens a nested modal loop must not be re-entered
  if (busy) return;
  busy = true;
  while (self->next_ < self->steps_.size() && self->steps_[self->next_]()) ++self->next_;
  busy = false;
}

}  // namespace kwo::test
