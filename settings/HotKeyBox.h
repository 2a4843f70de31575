#pragma once
// A box that records the key combination the user presses, Win included
// (the system's hotkey control cannot record Win). It shows the combination
// in the form kwo.ini holds ("Ctrl+Alt+K"); plain Tab, Enter and Esc still
// act on the dialog.
#include <windows.h>

#include <optional>

#include "keys/HotKey.h"
#include "ui/SubclassedWindow.h"

namespace kwo::settings {

class CHotKeyBox : public kwo::ui::CSubclassedWindow {
 public:
  // Shows `hotKey` and makes it the box's combination.
  void Show(const kwo::keys::HotKey& hotKey);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static uint32_t HeldModifiers();
  void ShowText(const std::wstring& text);
  std::wstring shown_;  // the last whole combination
};

}  // namespace kwo::settings
