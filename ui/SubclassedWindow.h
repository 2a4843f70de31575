#pragma once
// Takes over the window procedure of an existing control (SetWindowSubclass);
// a derived class overrides WindowProc and passes on what it does not handle.
// An exception from WindowProc is reported to the user and stops there.
#include <windows.h>

namespace kwo::ui {

class CSubclassedWindow {
 public:
  CSubclassedWindow() = default;
  virtual ~CSubclassedWindow() { Detach(); }
  CSubclassedWindow(const CSubclassedWindow&) = delete;
  CSubclassedWindow& operator=(const CSubclassedWindow&) = delete;

  bool Attach(HWND window);
  void Detach();
  HWND Handle() const { return hwnd_; }

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultProc(message, wParam, lParam);
  }
  // The control's own procedure.
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
  HWND hwnd_ = nullptr;
};

}  // namespace kwo::ui
