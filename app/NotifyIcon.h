#pragma once
// The program's icon in the notification area: adds, changes and removes it,
// and turns clicks on it into commands for its owner window.
#include <windows.h>

#include <shellapi.h>

#include <string_view>
#include <vector>

namespace kwo::app {

// The one call into the shell, so that the icon's rules can be checked
// without a taskbar.
class ShellNotifier {
 public:
  virtual ~ShellNotifier() = default;
  virtual bool Notify(DWORD message, NOTIFYICONDATAW& data) = 0;
};

class SystemShellNotifier final : public ShellNotifier {
 public:
  bool Notify(DWORD message, NOTIFYICONDATAW& data) override { return Shell_NotifyIconW(message, &data) != FALSE; }
};

class CNotifyIcon {
 public:
  // `id` names the icon, its popup menu resource and its first tip string.
  // Without a notifier the icon talks to the system's shell.
  explicit CNotifyIcon(UINT id, ShellNotifier* shell = nullptr);
  ~CNotifyIcon();  // removes the icon
  CNotifyIcon(const CNotifyIcon&) = delete;
  CNotifyIcon& operator=(const CNotifyIcon&) = delete;

  void SetOwner(HWND owner, UINT callbackMessage);
  // An empty tip leaves the one the shell shows as it is.
  void SetTip(std::wstring_view tip);
  // Shows, changes (icon not null) or removes (null) the icon. The caller
  // keeps the icon alive while it is shown.
  bool SetIcon(HICON icon);
  // The taskbar was recreated and has forgotten the icon: add it again.
  bool Restore();
  // The callback message: right click opens the popup menu, a double click
  // sends the owner the menu's first command. 1 when handled.
  LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);

  // Leaves a command out of the popup menu (or puts it back): one that does not apply now.
  void HideCommand(UINT command, bool hidden);

  HICON Icon() const { return data_.hIcon; }
  const wchar_t* Tip() const { return data_.szTip; }

 private:
  NOTIFYICONDATAW data_;
  SystemShellNotifier systemShell_;
  ShellNotifier* shell_;
  std::vector<UINT> hidden_;
};

}  // namespace kwo::app
