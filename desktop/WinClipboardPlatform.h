#pragma once
// The ClipboardPlatform of the real desktop. The text goes on the clipboard
// by delayed rendering: a hidden window of this thread owns the clipboard
// and hands the text out when a program asks for it, which tells when the
// window in front has taken the paste. Only then is the user's clipboard put
// back.
#include <windows.h>

#include <string>
#include <string_view>

#include "desktop/ClipboardSnapshot.h"
#include "keys/ClipboardPlatform.h"

namespace kwo::desktop {

class WinClipboardPlatform final : public keys::ClipboardPlatform {
 public:
  WinClipboardPlatform() = default;
  ~WinClipboardPlatform() override;
  WinClipboardPlatform(const WinClipboardPlatform&) = delete;
  WinClipboardPlatform& operator=(const WinClipboardPlatform&) = delete;

  bool PutText(std::u16string_view text) override;
  bool ReadText(std::u16string& text) override;
  void WaitUntilTaken() override;
  void Restore() override;

 private:
  static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool EnsureWindow();
  // WM_RENDERFORMAT: the text to the program that asks for it (the clipboard is open).
  void Render();
  // The one way the user's clipboard goes back (in phase Due*, or at the end
  // of a paste not yet over): once the text was asked for, or late, with
  // this many tries to open the clipboard. True once nothing is left to put
  // back; false while the text waits to be asked for or another program
  // holds the clipboard open.
  bool TryRestore(int tries, bool late);
  // The timer's try at a restore put off.
  void RetryRestore();

  // Where the paste stands, from PutText to the user's clipboard back.
  enum class Phase {
    Idle,        // nothing of ours on the clipboard
    Offered,     // the text is on the clipboard, no program has asked for it yet
    HandedOut,   // another program asked for it (a clipboard monitor), not the target
    Taken,       // the target asked for it: the paste has arrived
    DueUnasked,  // Restore put off: the text was never asked for, the target may still paste it
    DueAsked,    // Restore put off: the text was asked for, the clipboard was held open
  };
  bool Pasting() const { return phase_ == Phase::Offered || phase_ == Phase::HandedOut || phase_ == Phase::Taken; }
  bool RestoreDue() const { return phase_ == Phase::DueUnasked || phase_ == Phase::DueAsked; }

  HWND window_ = nullptr;
  std::u16string text_;       // on the clipboard, not yet handed out
  HWND targetWindow_ = nullptr;  // the window in front at PutText
  DWORD targetProcess_ = 0;   // its process
  Phase phase_ = Phase::Idle;
  ULONGLONG restoreDeadline_ = 0;  // Due*: the timer tries until then (longer while the target hangs)
  ClipboardSnapshot saved_;   // the user's clipboard
};

}  // namespace kwo::desktop
