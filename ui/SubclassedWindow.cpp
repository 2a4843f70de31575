#include "ui/SubclassedWindow.h"

#include <commctrl.h>

#include "ui/HandlerFailure.h"

namespace kwo::ui {

namespace {
constexpr UINT_PTR kSubclassId = 1;
}

bool CSubclassedWindow::Attach(HWND window) {
  Detach();
  if (window == nullptr ||
      !SetWindowSubclass(window, &CSubclassedWindow::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    return false;
  }
  hwnd_ = window;
  return true;
}

void CSubclassedWindow::Detach() {
  if (hwnd_ != nullptr) {
    RemoveWindowSubclass(hwnd_, &CSubclassedWindow::Proc, kSubclassId);
    hwnd_ = nullptr;
  }
}

LRESULT CSubclassedWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CSubclassedWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                         DWORD_PTR data) {
  auto* self = reinterpret_cast<CSubclassedWindow*>(data);
  if (message == WM_NCDESTROY) {
    // The window goes away before its wrapper: unhook while the handle is valid.
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    RemoveWindowSubclass(hwnd, &CSubclassedWindow::Proc, kSubclassId);
    self->hwnd_ = nullptr;
    return result;
  }
  try {
    return self->WindowProc(message, wParam, lParam);
  } catch (...) {
    ReportHandlerFailure(hwnd, std::current_exception());
    return 0;
  }
}

}  // namespace kwo::ui
