#include "controls/Edit37.h"

namespace kwo::controls {

bool CEdit37::Accepts(wchar_t character) {
  if (character < 32) return true;  // Backspace, Ctrl+C/V/X/A ...
  if (character >= L'0' && character <= L'9') return true;
  // Latin letters only. Dotless i and long s also have I and S as upper case,
  // but the box's upper-case style may keep them as they are, and a short key
  // must consist of digits and capitals A to Z.
  return (character >= L'A' && character <= L'Z') || (character >= L'a' && character <= L'z');
}

LRESULT CEdit37::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR && !Accepts(static_cast<wchar_t>(wParam))) {
    Beep(880, 25);
    return 0;
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace kwo::controls
