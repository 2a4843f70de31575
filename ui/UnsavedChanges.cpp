#include "ui/UnsavedChanges.h"

namespace kwo::ui {

namespace {
struct UnsavedSearch {
  HWND except = nullptr;
  bool found = false;
};

BOOL CALLBACK AskWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<UnsavedSearch*>(lParam);
  if (window == search->except) return TRUE;
  if (SendMessageW(window, kQueryUnsavedChanges, 0, 0) != 0) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

bool ThreadHoldsUnsavedChanges(HWND except) {
  UnsavedSearch search;
  search.except = except;
  EnumThreadWindows(GetCurrentThreadId(), &AskWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace kwo::ui
