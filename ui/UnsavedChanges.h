#pragma once
// Asking the windows of this thread whether they hold typed changes that
// closing them would lose, before the program ends.
#include <windows.h>

namespace kwo::ui {

// Sent to a top-level window of ours: a window that holds unsaved changes
// answers nonzero (a dialog through DWLP_MSGRESULT); every other window,
// message boxes and common dialogs included, answers 0.
constexpr UINT kQueryUnsavedChanges = WM_APP + 0x140;

// True when a top-level window of the calling thread other than `except`
// answers kQueryUnsavedChanges with nonzero.
bool ThreadHoldsUnsavedChanges(HWND except);

}  // namespace kwo::ui
