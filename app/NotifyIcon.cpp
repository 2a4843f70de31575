#include "app/NotifyIcon.h"

#include <algorithm>
#include <iterator>

#include "ui/Handles.h"
#include "ui/Window.h"

namespace kwo::app {

CNotifyIcon::CNotifyIcon(UINT id, ShellNotifier* shell) : data_{}, shell_(shell ? shell : &systemShell_) {
  // The layout without guidItem and hBalloonIcon, understood by every shell.
  data_.cbSize = NOTIFYICONDATAW_V2_SIZE;
  data_.uID = id;
  SetTip(ui::LoadStringResource(id));
}

CNotifyIcon::~CNotifyIcon() { SetIcon(nullptr); }

void CNotifyIcon::SetOwner(HWND owner, UINT callbackMessage) {
  data_.hWnd = owner;
  data_.uCallbackMessage = callbackMessage;
}

void CNotifyIcon::SetTip(std::wstring_view tip) {
  const size_t length = std::min(tip.size(), std::size(data_.szTip) - 1);
  std::copy_n(tip.data(), length, data_.szTip);
  data_.szTip[length] = L'\0';
}

bool CNotifyIcon::SetIcon(HICON icon) {
  data_.uFlags = 0;
  DWORD message;
  if (icon != nullptr) {
    message = data_.hIcon != nullptr ? NIM_MODIFY : NIM_ADD;
    data_.hIcon = icon;
    data_.uFlags = NIF_ICON;
  } else {
    if (data_.hIcon == nullptr) return true;
    message = NIM_DELETE;
  }
  if (data_.szTip[0] != L'\0') data_.uFlags |= NIF_TIP;
  if (data_.uCallbackMessage != 0 && data_.hWnd != nullptr) data_.uFlags |= NIF_MESSAGE;
  const bool done = shell_->Notify(message, data_);
  if (message == NIM_DELETE || !done) data_.hIcon = nullptr;
  return done;
}

bool CNotifyIcon::Restore() {
  HICON icon = data_.hIcon;
  if (icon == nullptr) return false;
  data_.hIcon = nullptr;  // the new taskbar has no icon of ours: add, not modify
  if (SetIcon(icon)) return true;
  // The shell still had it (the message came without a new taskbar): keep it.
  data_.hIcon = icon;
  if (shell_->Notify(NIM_MODIFY, data_)) return true;
  data_.hIcon = nullptr;
  return false;
}

void CNotifyIcon::HideCommand(UINT command, bool hidden) {
  hidden_.erase(std::remove(hidden_.begin(), hidden_.end(), command), hidden_.end());
  if (hidden) hidden_.push_back(command);
}

LRESULT CNotifyIcon::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
  if (wParam != data_.uID) return 0;
  const UINT mouse = LOWORD(lParam);
  if (mouse != WM_RBUTTONUP && mouse != WM_LBUTTONDBLCLK) return 0;
  ui::OwnedMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(data_.uID)));
  if (!menu) return 0;
  HMENU popup = GetSubMenu(menu.get(), 0);
  if (popup == nullptr) return 0;
  for (UINT command : hidden_) DeleteMenu(popup, command, MF_BYCOMMAND);
  if (mouse == WM_RBUTTONUP) {
    SetMenuDefaultItem(popup, 0, TRUE);
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(data_.hWnd);
    TrackPopupMenu(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, 0, data_.hWnd, nullptr);
    // Lets the menu close when the user clicks elsewhere.
    PostMessageW(data_.hWnd, WM_NULL, 0, 0);
  } else {
    SendMessageW(data_.hWnd, WM_COMMAND, GetMenuItemID(popup, 0), 0);
  }
  return 1;
}

}  // namespace kwo::app
