#pragma once
// The dialog base: binds the object to its window at WM_INITDIALOG and routes
// messages and commands through tables that derived classes fill in their
// constructors. Runs modally with DialogBoxParamW. An exception from a
// handler stops at the dialog procedure: it is reported to the user
// (ReportHandlerFailure) and the dialog goes on.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kwo::ui {

class CDialog {
 public:
  explicit CDialog(UINT templateId) : templateId_(templateId) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Creates the dialog from its template and runs it until EndDialog (or
  // WM_QUIT). Returns the value given to EndDialog, -1 if it could not be made.
  INT_PTR DoModal(HWND owner = nullptr);

  HWND Handle() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

 protected:
  // TRUE: the dialog manager gives the focus to the first tab stop.
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // Every WM_COMMAND comes here first; the default looks the command up in
  // the table, then handles IDOK and IDCANCEL. True when handled.
  virtual bool OnCommand(UINT id, UINT code, HWND control);

  void EndDialog(INT_PTR result) { ::EndDialog(hwnd_, result); }

  // Table entries. A message handler returns what the dialog procedure
  // returns: FALSE lets the dialog manager do its default processing.
  template <class T>
  void OnMessage(UINT message, INT_PTR (T::*handler)(WPARAM, LPARAM)) {
    T* self = static_cast<T*>(this);
    messages_[message] = [self, handler](WPARAM wParam, LPARAM lParam) { return (self->*handler)(wParam, lParam); };
  }
  // A menu item, accelerator or button click with this id.
  template <class T>
  void OnCommandId(UINT id, void (T::*handler)()) {
    T* self = static_cast<T*>(this);
    auto call = [self, handler] { (self->*handler)(); };
    commands_[CommandKey(id, 0)] = call;  // menu item, BN_CLICKED
    commands_[CommandKey(id, 1)] = call;  // accelerator
  }
  // A control's notification through WM_COMMAND (EN_CHANGE, EN_SETFOCUS ...).
  template <class T>
  void OnNotification(UINT id, UINT code, void (T::*handler)()) {
    T* self = static_cast<T*>(this);
    commands_[CommandKey(id, code)] = [self, handler] { (self->*handler)(); };
  }

  // For messages whose answer is not the dialog procedure's return value.
  INT_PTR SetMessageResult(LRESULT result) {
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
  }

 private:
  static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam);
  static DWORD CommandKey(UINT id, UINT code) { return MAKELONG(static_cast<WORD>(id), static_cast<WORD>(code)); }

  UINT templateId_;
  HWND hwnd_ = nullptr;
  std::unordered_map<UINT, std::function<INT_PTR(WPARAM, LPARAM)>> messages_;
  std::unordered_map<DWORD, std::function<void()>> commands_;
};

// Data exchange with a dialog's controls.
std::wstring ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, std::wstring_view text);
bool IsItemChecked(HWND dialog, int id);
void CheckItem(HWND dialog, int id, bool checked);

}  // namespace kwo::ui
