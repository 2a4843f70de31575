#pragma once
// The main window: the short-key box with its incremental search, the
// hotkey that calls the window up, the sending of the chosen content, timed
// sending, the menus and the notification icon.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/MainLogic.h"
#include "app/EntrySender.h"
#include "app/ListFiller.h"
#include "app/NotifyIcon.h"
#include "app/SearchMode.h"
#include "app/Startup.h"
#include "controls/Edit37.h"
#include "desktop/WinClipboardPlatform.h"
#include "desktop/WinKeyPlatform.h"
#include "desktop/WinTargetPlatform.h"
#include "keys/HotKey.h"
#include "settings/Options.h"
#include "store/AdoDataBase.h"
#include "store/ContentIndexFiller.h"
#include "ui/Controls.h"
#include "ui/Dialog.h"
#include "ui/Handles.h"

namespace kwo::app {

class CMainDlg : public kwo::ui::CDialog {
 public:
  // Runs on what start-up made: the settings as read, the open store (which
  // must outlive the window) and the program's files. The notification icon
  // goes to `shell`, the system's shell without one.
  explicit CMainDlg(CStartup& started, ShellNotifier* shell = nullptr);
  ~CMainDlg() override;

  void SearchEntries();
  void SendCurrentEntry();
  void ToggleRunning();

  // Set before the dialog runs: show the first-start notice when the store
  // was created by this start.
  bool firstStartNotice = false;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnCommand(UINT id, UINT code, HWND control) override;

 private:
  void AddMenuLinks();
  bool RegisterActivationHotkey();
  // Options OK: moves the activation hotkey to `chosen`; false when it is taken.
  bool ChangeHotKey(const kwo::keys::HotKey& chosen);
  // The hotkey in force as the user reads it, and where it is shown.
  std::wstring HotKeyText() const;
  void ShowHotKey();
  // The short-key search: the content of the key into the content box, the
  // keys beginning with it into the list.
  ListOutcome SearchShortKey(const std::shared_ptr<kwo::store::DbConnection>& connection);
  void ClearShortKey();
  COLORREF BackgroundColour() const;
  // After `outages` took the store's state: tells the user when `tell`, and
  // keeps the tray tip in step with the server's state.
  void TrackStore(bool tell);
  // True while the server refuses the login; the user is asked once per refusal.
  bool TrackRefusal();
  void OnRetryLogin();
  void ReopenChangedStore();
  void RefreshTip();
  // Brings the window of ours that runs modally to the front; false when none does.
  bool BringModalWindowToFront();
  void RememberTarget();
  void ComeToFront();

  // Commands.
  void OnStart();
  void OnAddEntry();
  void OnExit();
  void OnImport();
  void OnExport();
  void OnAbout();
  void OnHelpFile();
  void OnOpen();
  void OnOptions();
  void OnCheckVersion();
  void OnShortKeyChanged();
  void OnShortKeySetFocus();
  void OnShortKeyKillFocus();
  bool OnShortKeyKey(UINT key);

  // Messages.
  INT_PTR OnHotKey(WPARAM, LPARAM);
  INT_PTR OnDpiChanged(WPARAM, LPARAM);
  INT_PTR OnWindowPosChanging(WPARAM, LPARAM);
  INT_PTR OnActivate(WPARAM, LPARAM);
  INT_PTR OnTimer(WPARAM, LPARAM);
  void KeepInFront();
  INT_PTR OnCtlColor(WPARAM, LPARAM);
  INT_PTR OnCtlColorEdit(WPARAM, LPARAM);
  INT_PTR OnNotify(WPARAM, LPARAM);
  INT_PTR OnSysCommand(WPARAM, LPARAM);
  INT_PTR OnPaint(WPARAM, LPARAM);
  INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
  INT_PTR OnTrayCallback(WPARAM, LPARAM);
  INT_PTR OnInitMenuPopup(WPARAM, LPARAM);
  INT_PTR OnTaskbarCreated(WPARAM, LPARAM);
  INT_PTR OnHotkeyUnavailable(WPARAM, LPARAM);
  INT_PTR OnHotkeyMalformed(WPARAM, LPARAM);
  INT_PTR OnTrayIconMissing(WPARAM, LPARAM);
  INT_PTR OnServerAway(WPARAM, LPARAM);
  INT_PTR OnLoginRefused(WPARAM, LPARAM);
  INT_PTR OnHelpKey(WPARAM, LPARAM);
  INT_PTR OnFirstStart(WPARAM, LPARAM);
  INT_PTR OnDestroy(WPARAM, LPARAM);

  const ProgramPaths paths;
  bool showAllowed = false;
  kwo::ui::OwnedIcon programIcon;
  kwo::ui::OwnedIcon smallIcon;    // 16 pixel image of the running icon
  kwo::ui::OwnedIcon stoppedIcon;  // 16 pixel image of the stopped icon
  bool hotkeyOn = false;
  std::optional<kwo::ui::HotkeyRegistration> activationHotkey;  // hotKey while hotkeyOn
  kwo::keys::HotKey hotKey;            // [Options] HotKey; Win + Space when missing
  std::wstring settingsNotice;         // settings of kwo.ini not used as written, told once
  BOOL imeWasOpen = FALSE;
  CListFiller list;
  CNotifyIcon notifyIcon;
  // The desktop that entries are typed into, and the sender that works through it.
  kwo::desktop::WinKeyPlatform keyPlatform;
  kwo::desktop::WinTargetPlatform targetPlatform;
  kwo::desktop::WinClipboardPlatform clipboardPlatform;
  CEntrySender sender{keyPlatform, clipboardPlatform, targetPlatform};
  kwo::controls::CEdit37 keyEdit;
  CSearchMode searchMode;
  UINT_PTR sendTimerId = 0;
  int frontChecksLeft = 0;  // checks left after the hotkey that the window is in front
  // A search put off for typing that waited (see OnShortKeyChanged).
  bool searchPending = false;
  kwo::store::ContentIndexFiller indexFiller;
  kwo::settings::Options options;  // as read from kwo.ini, then as the options dialog returns them
  int32_t timerOn = 0;             // timed sending, for this run only
  std::vector<std::pair<std::wstring, std::wstring>> menuLinks;  // (menu text, target)
  kwo::ui::ColourBrush backgroundBrush;
  kwo::store::CADODataBase& store;  // start-up's
  kwo::store::CADORecordset results;
  UINT taskbarCreatedMessage = 0;
  OutageWatch outages;
  bool tipShowsServerAway = false;
  bool refusalTold = false;
  std::filesystem::file_time_type iniWritten;  // of kwo.ini when it was read
  bool storeCreated = false;  // this start created the database
};

}  // namespace kwo::app
