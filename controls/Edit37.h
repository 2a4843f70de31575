#pragma once
// The short-key box: an edit control that lets through only the characters a
// short key is made of (digits and Latin letters; the upper-case style of the
// box turns letters into capitals) and control characters such as Backspace
// and the clipboard shortcuts. Anything else is dropped with a short beep.
#include <windows.h>

#include "ui/SubclassedWindow.h"

namespace kwo::controls {

class CEdit37 : public kwo::ui::CSubclassedWindow {
 public:
  // The character rule of the box.
  static bool Accepts(wchar_t character);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace kwo::controls
