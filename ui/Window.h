#pragma once
// Non-owning window references and the few text helpers the dialogs share.
#include <windows.h>

#include <string>
#include <string_view>

namespace kwo::ui {

std::wstring WindowText(HWND window);
void SetWindowTextView(HWND window, std::wstring_view text);
// A string resource of this program; empty when it is missing.
std::wstring LoadStringResource(UINT id);
// The program's name (its string resource IDS_APP_TITLE): the main window's
// title and the caption of its message boxes.
std::wstring ProgramName();
// The folder of the running program, with its trailing backslash.
std::wstring ProgramFolder();

// The dots per inch the window is drawn at: its monitor's under per-monitor
// awareness, else the system's (96 is 100 %).
UINT WindowDpi(HWND window);
// A length in pixels at 96 dots per inch, at the window's DPI.
int ScaledToWindow(HWND window, int pixelsAt96);
// Where the window's top left corner goes to centre it on the primary monitor's work area.
POINT CentredOnWorkArea(HWND window);

// A window that someone else owns (a dialog's control, for instance).
class CWindowRef {
 public:
  CWindowRef() = default;
  explicit CWindowRef(HWND window) : hwnd_(window) {}
  void Attach(HWND window) { hwnd_ = window; }
  HWND Handle() const { return hwnd_; }
  std::wstring Text() const { return WindowText(hwnd_); }
  void SetText(std::wstring_view text) const { SetWindowTextView(hwnd_, text); }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageW(hwnd_, message, wParam, lParam);
  }

 protected:
  HWND hwnd_ = nullptr;
};

// Stops a window's redrawing for a scope, then repaints it once. A list-view
// that is not redrawing also skips its scroll-bar update after every row.
class RedrawPause {
 public:
  explicit RedrawPause(HWND window) : window_(window) { SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
  ~RedrawPause() {
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, TRUE);
  }
  RedrawPause(const RedrawPause&) = delete;
  RedrawPause& operator=(const RedrawPause&) = delete;

 private:
  HWND window_;
};

}  // namespace kwo::ui
