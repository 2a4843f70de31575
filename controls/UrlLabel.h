#pragma once
// A static control that behaves like a link: link colour, underline and hover
// colour under the mouse, hand cursor, a tooltip with the address, and a click
// that opens the address with the system's handler.
#include <windows.h>

#include <string>

#include "ui/Handles.h"
#include "ui/SubclassedWindow.h"

namespace kwo::controls {

class CUrlLabel : public kwo::ui::CSubclassedWindow {
 public:
  CUrlLabel() = default;
  ~CUrlLabel() override;

  // May be called before the control is attached.
  void SetAddress(const std::wstring& address);
  const std::wstring& Address() const { return address_; }
  // Subclasses a static control of a dialog, before it is shown.
  bool AttachTo(HWND label);
  bool IsVisited() const { return visited_; }
  bool IsOver() const { return over_; }
  COLORREF TextColour() const;

  // The parent passes on the label's WM_CTLCOLORSTATIC and its STN_CLICKED.
  HBRUSH OnCtlColor(HDC dc) const;
  void OnClicked();

  // Why the address could not be opened, for an OpenAddress result of 32 or
  // below: the system's text in the user's language.
  static std::wstring ErrorText(INT_PTR code);
  // The command line of the registered web-page handler: the registered text
  // cut where "%1" stands (quoted or not), then a blank and the address.
  static std::wstring HandlerCommandLine(const std::wstring& registered, const std::wstring& address);
  // The default value of a key under HKEY_CLASSES_ROOT, whatever its length.
  static bool ReadRegisteredDefault(const std::wstring& subKey, std::wstring& value);
  // Opens an address; the result is ShellExecuteW's, or WinExec's after the fallback.
  static INT_PTR OpenAddress(const std::wstring& address, int showCommand);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct CursorTraits {
    using Handle = HCURSOR;
    static void Release(HCURSOR cursor) { DestroyCursor(cursor); }
  };
  struct WindowTraits {
    using Handle = HWND;
    static void Release(HWND window) {
      if (IsWindow(window)) DestroyWindow(window);  // an owned popup may have gone with its owner
    }
  };

  void FitToText();
  void LoadHandCursor();
  void CreateTooltip();
  void SetUnderline(bool underline);

  COLORREF linkColour_ = RGB(0, 0, 238);
  COLORREF visitedColour_ = RGB(85, 26, 139);
  COLORREF hoverColour_ = RGB(255, 0, 0);
  bool over_ = false;
  bool visited_ = false;
  int underlineMode_ = -1;  // -1 while hovered, 0 never, 1 always
  bool adjustToFit_ = true;
  std::wstring address_;
  kwo::ui::OwnedFont underlineFont_;
  kwo::ui::OwnedFont standardFont_;
  kwo::ui::UniqueHandle<CursorTraits> handCursor_;
  kwo::ui::UniqueHandle<WindowTraits> tooltip_;
  static constexpr UINT_PTR kHoverTimerId = 100;
};

}  // namespace kwo::controls
