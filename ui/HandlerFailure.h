#pragma once
// Exceptions stop at the window procedures of this layer: what a handler
// throws must not unwind through the system's code. The failure is told to
// the user and the program goes on with its next message.
#include <windows.h>

#include <exception>

namespace kwo::ui {

// Shows a message box over `window`'s top-level window that says the last
// action was not completed and why. Called from a catch block with
// std::current_exception(). A failure while such a box is open (a handler that
// throws on every WM_PAINT, say) is not shown in a second box on top of it.
void ReportHandlerFailure(HWND window, std::exception_ptr failure) noexcept;

}  // namespace kwo::ui
