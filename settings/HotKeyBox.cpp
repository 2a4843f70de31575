#include "settings/HotKeyBox.h"

#include "text/Utf.h"

namespace kwo::settings {

namespace {
bool IsDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }
}  // namespace

uint32_t CHotKeyBox::HeldModifiers() {
  uint32_t modifiers = 0;
  if (IsDown(VK_CONTROL)) modifiers |= keys::kHotKeyCtrl;
  if (IsDown(VK_MENU)) modifiers |= keys::kHotKeyAlt;
  if (IsDown(VK_SHIFT)) modifiers |= keys::kHotKeyShift;
  if (IsDown(VK_LWIN) || IsDown(VK_RWIN)) modifiers |= keys::kHotKeyWin;
  return modifiers;
}

void CHotKeyBox::Show(const keys::HotKey& hotKey) {
  shown_ = text::ToWide(keys::FormatHotKey(hotKey));
  ShowText(shown_);
}

void CHotKeyBox::ShowText(const std::wstring& text) {
  SetWindowTextW(Handle(), text.c_str());
}

LRESULT CHotKeyBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      // Every key but Tab, Enter and Esc without Ctrl, Alt or Win: they
      // move on, confirm and cancel the dialog as everywhere else.
      if (lParam != 0 && (HeldModifiers() & ~keys::kHotKeyShift) == 0) {
        const WPARAM key = reinterpret_cast<const MSG*>(lParam)->wParam;
        if (key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE) return DefaultProc(message, wParam, lParam);
      }
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const auto key = static_cast<uint8_t>(wParam);
      const uint32_t modifiers = HeldModifiers();
      // Enter is never recorded: alone it confirms the dialog, which takes
      // only an acceptable combination; with modifiers it does nothing here.
      if (key == VK_RETURN) return 0;
      if (keys::IsHotKeyKey(key)) {
        Show(keys::HotKey{modifiers, key});
      } else if (modifiers != 0) {
        // Modifiers alone: shown while held, as "Ctrl+Alt+".
        std::u16string partial = keys::FormatHotKey(keys::HotKey{modifiers, 'A'});
        partial.pop_back();
        ShowText(text::ToWide(partial));
      }
      return 0;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      // Modifiers let go without a key: the last whole combination again.
      if (HeldModifiers() == 0) ShowText(shown_);
      return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_CONTEXTMENU:
    case WM_IME_STARTCOMPOSITION:
    case WM_IME_COMPOSITION:
    case WM_IME_CHAR:
      return 0;
    default:
      return DefaultProc(message, wParam, lParam);
  }
}

}  // namespace kwo::settings
