#pragma once
// Thin wrappers of the common controls the dialogs use. They own nothing:
// the dialog owns its controls.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <string_view>

#include "ui/Window.h"

namespace kwo::ui {

class CEditBox : public CWindowRef {
 public:
  using CWindowRef::CWindowRef;
  void LimitText(int characters) const { Send(EM_LIMITTEXT, static_cast<WPARAM>(characters)); }
};

class CListView : public CWindowRef {
 public:
  using CWindowRef::CWindowRef;
  void InsertColumn(int index, std::wstring_view title, int width, int format = LVCFMT_LEFT) const;
  void SetColumnWidth(int index, int width) const { Send(LVM_SETCOLUMNWIDTH, index, MAKELPARAM(width, 0)); }
  void DeleteAllItems() const { Send(LVM_DELETEALLITEMS); }
  // Inserts a row with the text of its first column; returns its index or -1.
  int InsertItem(int index, std::wstring_view text) const;
  void SetItemText(int index, int subItem, std::wstring_view text) const;
  int ItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
  // Sets the `mask` bits of a row's state (LVIS_*) to those of `state`; row -1 is every row.
  void SetItemState(int index, UINT state, UINT mask) const;
  void EnsureVisible(int index) const { Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE); }
};

class CUpDown : public CWindowRef {
 public:
  using CWindowRef::CWindowRef;
  void SetBuddy(HWND buddy) const { Send(UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy)); }
  void SetPos(int position) const { Send(UDM_SETPOS, 0, MAKELPARAM(static_cast<WORD>(position), 0)); }
  // 32-bit range and position; the arrow that points up counts up when lowest < highest.
  void SetRange32(int lowest, int highest) const { Send(UDM_SETRANGE32, static_cast<WPARAM>(lowest), highest); }
  void SetPos32(int position) const { Send(UDM_SETPOS32, 0, position); }
  // The position part of UDM_GETPOS: the number in the buddy, or the last
  // good position when the buddy holds no number in range.
  int Pos() const { return static_cast<short>(LOWORD(Send(UDM_GETPOS))); }
};

}  // namespace kwo::ui
