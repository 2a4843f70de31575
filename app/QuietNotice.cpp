#include "app/QuietNotice.h"

#include <commctrl.h>

#include "res/resource.h"
#include "ui/TimedNotice.h"
#include "ui/Window.h"

namespace kwo::app {
namespace {

constexpr int kTextId = 0xFFFF;  // the id a message box gives its text
constexpr UINT_PTR kCloseTimer = 1;
constexpr UINT_PTR kButtonSubclass = 1;

HWND shownNotice = nullptr;

void CloseNotice(HWND notice) {
  KillTimer(notice, kCloseTimer);
  DestroyWindow(notice);
}

// The notice is shown by no modal loop of its own, so no dialog manager turns
// Enter and Esc on its button into commands: the button does it itself.
LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
    PostMessageW(GetParent(button), WM_COMMAND, IDOK, 0);
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(button, &ButtonProc, kButtonSubclass);
  return DefSubclassProc(button, message, wParam, lParam);
}

INT_PTR CALLBACK NoticeProc(HWND notice, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowSubclass(GetDlgItem(notice, IDOK), &ButtonProc, kButtonSubclass, 0);
      return FALSE;  // no focus given: the notice is not active
    case WM_TIMER:
      if (wParam == kCloseTimer) CloseNotice(notice);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) CloseNotice(notice);
      return TRUE;
    case WM_CLOSE:
      CloseNotice(notice);
      return TRUE;
    case WM_DESTROY:
      if (shownNotice == notice) shownNotice = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

// Grows or shrinks the text and the notice to the text's lines; the button stays below it.
void FitToText(HWND notice, const std::wstring& text) {
  HWND label = GetDlgItem(notice, kTextId);
  HWND button = GetDlgItem(notice, IDOK);
  RECT labelRect{}, buttonRect{}, window{};
  GetWindowRect(label, &labelRect);
  GetWindowRect(button, &buttonRect);
  GetWindowRect(notice, &window);
  RECT needed{0, 0, labelRect.right - labelRect.left, 0};
  HDC dc = GetDC(label);
  if (dc == nullptr) return;
  HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  ReleaseDC(label, dc);
  const int change = (needed.bottom - needed.top) - (labelRect.bottom - labelRect.top);
  if (change == 0) return;
  POINT buttonAt{buttonRect.left, buttonRect.top + change};
  ScreenToClient(notice, &buttonAt);
  SetWindowPos(label, nullptr, 0, 0, labelRect.right - labelRect.left, needed.bottom - needed.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(button, nullptr, buttonAt.x, buttonAt.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(notice, nullptr, 0, 0, window.right - window.left, window.bottom - window.top + change,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void ShowQuietNotice(const std::wstring& text, unsigned timeoutMs) {
  if (shownNotice == nullptr) {
    shownNotice = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QUIET_NOTICE), nullptr,
                                     &NoticeProc, 0);
    if (shownNotice == nullptr) {
      // Without its template the notice is still told, as every other one is.
      ui::ShowTimedNotice(text, timeoutMs);
      return;
    }
  }
  SetDlgItemTextW(shownNotice, kTextId, text.c_str());
  FitToText(shownNotice, text);
  SetTimer(shownNotice, kCloseTimer, timeoutMs, nullptr);
  // Centred, as a message box is.
  const POINT at = ui::CentredOnWorkArea(shownNotice);
  SetWindowPos(shownNotice, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

bool IsQuietNotice(HWND window) { return window != nullptr && window == shownNotice; }

}  // namespace kwo::app
