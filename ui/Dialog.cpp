#include "ui/Dialog.h"

#include "ui/HandlerFailure.h"
#include "ui/Window.h"

namespace kwo::ui {

INT_PTR CDialog::DoModal(HWND owner) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner, &CDialog::StaticProc,
                         reinterpret_cast<LPARAM>(this));
}

bool CDialog::OnCommand(UINT id, UINT code, HWND /*control*/) {
  const auto found = commands_.find(CommandKey(id, code));
  if (found != commands_.end()) {
    found->second();
    return true;
  }
  if (code == 0 || code == 1) {
    if (id == IDOK) {
      OnOK();
      return true;
    }
    if (id == IDCANCEL) {
      OnCancel();
      return true;
    }
  }
  return false;
}

INT_PTR CALLBACK CDialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG
  INT_PTR result = FALSE;
  try {
    result = self->DialogProc(message, wParam, lParam);
  } catch (...) {
    // Told to the user; the dialog manager then does its default processing.
    ReportHandlerFailure(hwnd, std::current_exception());
    result = FALSE;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

INT_PTR CDialog::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  if (message == WM_COMMAND) {
    return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
  }
  const auto found = messages_.find(message);
  return found == messages_.end() ? FALSE : found->second(wParam, lParam);
}

std::wstring ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, std::wstring_view text) { SetWindowTextView(GetDlgItem(dialog, id), text); }

bool IsItemChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void CheckItem(HWND dialog, int id, bool checked) { CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED); }

}  // namespace kwo::ui
