#pragma once
// Helpers for the window tests: a probe for a display, and a scripted driver
// that acts on a modal dialog of this thread from a thread timer.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kwo::test {

// Wine creates no windows without an X display (run under Xvfb to get one).
constexpr const char* kNoWindows = "no windows can be created here (no display)";
bool CanCreateWindows();

// The dialog windows (#32770) of this thread, visible or not.
std::vector<HWND> ThreadDialogs();
// A visible-or-not dialog window of this thread with this title.
HWND FindThreadDialog(const std::wstring& title);
// The title of a window of this process.
std::wstring WindowTitle(HWND window);
// The text of a message box (its static control 0xFFFF).
std::wstring DialogText(HWND box);

// Runs `steps` one after the other from a timer while `runModal` runs its
// modal loop. A step returns false to be tried again at the next tick. When
// the steps take more than `timeoutMs` the dialogs of this thread are ended
// and `finished` stays false.
class ModalScript {
 public:
  explicit ModalScript(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {}
  void Run(const std::function<void()>& runModal, unsigned timeoutMs = 10000);
  bool finished() const { return next_ == steps_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  std::vector<std::function<bool()>> steps_;
  size_t next_ = 0;
  unsigned ticksLeft_ = 0;
};

}  // namespace kwo::test
