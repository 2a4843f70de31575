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
  switch (message) {
    case WM_GETDLGCODE: {
      const MSG* pending = reinterpret_cast<const MSG*>(lParam);
      const LRESULT code = DefaultProc(message, wParam, lParam);
      if (freeText_ && pending != nullptr && pending->message == WM_KEYDOWN && pending->wParam == VK_ESCAPE) {
        return code | DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_KEYDOWN:
      keyHandled_ = keyHandler_ && keyHandler_(static_cast<UINT>(wParam));
      if (keyHandled_) return 0;
      break;
    case WM_CHAR: {
      const wchar_t character = static_cast<wchar_t>(wParam);
      // The control character of a handled key (Esc, Ctrl+F) is not typed.
      if (keyHandled_ && character < 32) return 0;
      if (!freeText_ && !Accepts(character)) {
        Beep(880, 25);
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace kwo::controls
