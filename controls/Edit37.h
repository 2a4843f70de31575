#pragma once
// The short-key box: an edit control that lets through only the characters a
// short key is made of (digits and Latin letters; the upper-case style of the
// box turns letters into capitals) and control characters such as Backspace
// and the clipboard shortcuts. Anything else is dropped with a short beep.
//
// With free text on (the main window's search mode) every character is
// taken, and Esc reaches the key handler instead of the dialog.
#include <windows.h>

#include <functional>
#include <utility>

#include "ui/SubclassedWindow.h"

namespace kwo::controls {

class CEdit37 : public kwo::ui::CSubclassedWindow {
 public:
  // The character rule of the box.
  static bool Accepts(wchar_t character);

  void SetFreeText(bool on) { freeText_ = on; }
  bool FreeText() const { return freeText_; }
  // Sees every key press (its virtual key) before the box; true when it
  // handled the key, which the box then ignores, with the character it gives.
  void SetKeyHandler(std::function<bool(UINT)> handler) { keyHandler_ = std::move(handler); }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool freeText_ = false;
  bool keyHandled_ = false;
  std::function<bool(UINT)> keyHandler_;
};

}  // namespace kwo::controls
