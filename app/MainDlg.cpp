#include "app/MainDlg.h"

#include <imm.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "app/FirstStart.h"
#include "app/MainLogic.h"
#include "app/OpenOrTell.h"
#include "app/QuietNotice.h"
#include "app/StoreNotices.h"
#include "controls/AboutBox.h"
#include "entries/EntryCommands.h"
#include "res/resource.h"
#include "settings/IniFile.h"
#include "settings/OptionDlg.h"
#include "settings/Options.h"
#include "store/ShorthandTable.h"
#include "text/Utf.h"
#include "ui/TimedNotice.h"
#include "ui/UnsavedChanges.h"
#include "ui/Window.h"

namespace kwo::app {

using kwo::text::FromWide;
using kwo::text::ToWide;

namespace {

constexpr UINT kTrayCallbackMessage = WM_USER;
constexpr UINT kHotkeyUnavailableMessage = WM_APP + 1;
constexpr UINT kServerAwayMessage = WM_APP + 2;
constexpr UINT kLoginRefusedMessage = WM_APP + 3;
constexpr UINT kFirstStartMessage = WM_APP + 20;
constexpr UINT kHotkeyMalformedMessage = WM_APP + 21;
constexpr UINT kTrayIconMissingMessage = WM_APP + 22;
// What the exit command answers when it does not end the program; the
// installer (installer/kwo.nsi) reads it.
constexpr LRESULT kExitRefused = 1;
constexpr unsigned kHotkeyNoticeTimeoutMs = 5000;
// After the hotkey: how often and how long the window makes sure it is in front.
constexpr UINT kFrontCheckMs = 50;
constexpr int kFrontChecks = 10;
// The list's column widths in pixels at 100 %.
constexpr int kKeyColumnWidth = 60;
constexpr int kContentColumnWidth = 600;
constexpr unsigned kSearchNoticeTimeoutMs = 3000;
// The search put off while typing waited runs when the queue holds no more
// (a timer's message comes only after every key and character).
constexpr UINT_PTR kSearchAgainTimerId = KWO_SEARCH_AGAIN_TIMER_ID;
constexpr UINT kSearchAgainMs = USER_TIMER_MINIMUM;
constexpr unsigned kSendNoticeTimeoutMs = 5000;

// Commands that run a window of their own modally over the dialog.
bool OpensModalWindow(UINT command) {
  switch (command) {
    case IDC_ADD:
    case ID_IMPORT:
    case ID_EXPORT:
    case ID_OPTIONS:
    case ID_APP_ABOUT:
      return true;
    default:
      return false;
  }
}

// The window that runs modally over the main one: a visible, enabled
// top-level window of this thread other than the main window and popup
// menus (a dialog of ours, a message box, a notice, a chooser, a file dialog).
struct ModalSearch {
  HWND main = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK FindModalWindow(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<ModalSearch*>(lParam);
  if (window == search->main || !IsWindowVisible(window) || !IsWindowEnabled(window) || IsQuietNotice(window))
    return TRUE;
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (lstrcmpW(className, L"#32768") == 0) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

CMainDlg::CMainDlg(CStartup& started, ShellNotifier* shell)
    : CDialog(IDD_KWO_DIALOG),
      paths(started.paths),
      hotKey(started.settings.hotKey),
      settingsNotice(started.settings.notice),
      notifyIcon(IDR_TRAY_MENU, shell),
      options(started.settings.options),
      menuLinks(started.settings.menuLinks),
      store(started.store),
      iniWritten(started.settings.written),
      storeCreated(started.storeCreated) {
  programIcon = ui::LoadIconResource(IDI_RUNNING);
  smallIcon = ui::LoadIconResource(IDI_RUNNING, GetSystemMetrics(SM_CXSMICON));
  stoppedIcon = ui::LoadIconResource(IDI_STOPPED, GetSystemMetrics(SM_CXSMICON));
  results.SetConnection(store.Connection());

  OnMessage(WM_HOTKEY, &CMainDlg::OnHotKey);
  OnMessage(WM_WINDOWPOSCHANGING, &CMainDlg::OnWindowPosChanging);
  OnMessage(WM_ACTIVATE, &CMainDlg::OnActivate);
  OnMessage(WM_TIMER, &CMainDlg::OnTimer);
  // The two boxes keep the system colours, but for the short-key box in search mode.
  OnMessage(WM_CTLCOLOREDIT, &CMainDlg::OnCtlColorEdit);
  for (UINT message : {WM_CTLCOLORMSGBOX, WM_CTLCOLORLISTBOX, WM_CTLCOLORBTN, WM_CTLCOLORDLG,
                       WM_CTLCOLORSCROLLBAR, WM_CTLCOLORSTATIC}) {
    OnMessage(message, &CMainDlg::OnCtlColor);
  }
  OnMessage(WM_SYSCOMMAND, &CMainDlg::OnSysCommand);
  OnMessage(WM_PAINT, &CMainDlg::OnPaint);
  OnMessage(WM_QUERYDRAGICON, &CMainDlg::OnQueryDragIcon);
  OnMessage(kTrayCallbackMessage, &CMainDlg::OnTrayCallback);
  OnMessage(WM_INITMENUPOPUP, &CMainDlg::OnInitMenuPopup);
  OnMessage(kHotkeyUnavailableMessage, &CMainDlg::OnHotkeyUnavailable);
  OnMessage(kHotkeyMalformedMessage, &CMainDlg::OnHotkeyMalformed);
  OnMessage(kTrayIconMissingMessage, &CMainDlg::OnTrayIconMissing);
  OnMessage(kServerAwayMessage, &CMainDlg::OnServerAway);
  OnMessage(kLoginRefusedMessage, &CMainDlg::OnLoginRefused);
  OnMessage(WM_HELP, &CMainDlg::OnHelpKey);  // F1
  OnMessage(kFirstStartMessage, &CMainDlg::OnFirstStart);
  OnMessage(WM_DPICHANGED, &CMainDlg::OnDpiChanged);
  OnMessage(WM_DESTROY, &CMainDlg::OnDestroy);
  OnMessage(WM_NOTIFY, &CMainDlg::OnNotify);
  taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
  if (taskbarCreatedMessage != 0) OnMessage(taskbarCreatedMessage, &CMainDlg::OnTaskbarCreated);

  OnCommandId(IDC_START, &CMainDlg::OnStart);
  OnCommandId(IDC_ADD, &CMainDlg::OnAddEntry);
  OnCommandId(IDC_EXIT, &CMainDlg::OnExit);
  OnCommandId(ID_IMPORT, &CMainDlg::OnImport);
  OnCommandId(ID_EXPORT, &CMainDlg::OnExport);
  OnCommandId(ID_TOGGLE_RUNNING, &CMainDlg::ToggleRunning);
  OnCommandId(ID_APP_ABOUT, &CMainDlg::OnAbout);
  OnCommandId(ID_HELP_FILE, &CMainDlg::OnHelpFile);
  OnCommandId(ID_HELP_STANDARD, &CMainDlg::OnHelpFile);
  OnCommandId(ID_OPEN, &CMainDlg::OnOpen);
  OnCommandId(ID_OPTIONS, &CMainDlg::OnOptions);
  OnCommandId(ID_CHECK_VERSION, &CMainDlg::OnCheckVersion);
  OnCommandId(ID_RETRY_LOGIN, &CMainDlg::OnRetryLogin);
  notifyIcon.HideCommand(ID_RETRY_LOGIN, true);  // shown while a login is refused
  OnNotification(IDC_SHORTKEY, EN_CHANGE, &CMainDlg::OnShortKeyChanged);
  OnNotification(IDC_SHORTKEY, EN_SETFOCUS, &CMainDlg::OnShortKeySetFocus);
  OnNotification(IDC_SHORTKEY, EN_KILLFOCUS, &CMainDlg::OnShortKeyKillFocus);
}

CMainDlg::~CMainDlg() = default;

BOOL CMainDlg::OnInitDialog() {
  HWND dialog = Handle();
  keyEdit.Attach(Item(IDC_SHORTKEY));
  ui::CEditBox(Item(IDC_SHORTKEY)).LimitText(store::kMaxShortKeyLength);
  list.Attach(Item(IDC_LIST));
  searchMode.Attach(dialog, &keyEdit, &list, Item(IDC_CONTENT), Item(IDC_SHORTKEY_LABEL));
  keyEdit.SetKeyHandler([this](UINT key) { return OnShortKeyKey(key); });

  const std::wstring aboutText = ui::LoadStringResource(IDS_ABOUTBOX);
  if (HMENU systemMenu = GetSystemMenu(dialog, FALSE); systemMenu != nullptr && !aboutText.empty()) {
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText.c_str());
  }
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(programIcon.get()));
  SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
  const std::wstring title = ui::ProgramName();
  SetWindowTextW(dialog, title.c_str());

  // An elevated copy would not be told that the taskbar came back otherwise.
  if (taskbarCreatedMessage != 0) ChangeWindowMessageFilterEx(dialog, taskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
  notifyIcon.SetOwner(dialog, kTrayCallbackMessage);
  hotkeyOn = true;  // registered below
  ShowHotKey();
  const bool iconShown = notifyIcon.SetIcon(smallIcon.get());

  AddMenuLinks();
  list.View().InsertColumn(0, L"速记符", ui::ScaledToWindow(dialog, kKeyColumnWidth));
  list.View().InsertColumn(1, L"内容", ui::ScaledToWindow(dialog, kContentColumnWidth));
  SearchEntries();

  // The content index is filled by a thread of its own, on a database file of
  // the program's own only, and only while it is not whole.
  if (const auto connection = store.Connection(); connection && connection->Session() &&
                                                  connection->Session()->IsOwnDatabase() &&
                                                  !store::ContentIndexWhole(*connection->Session())) {
    indexFiller.Start(store.ConnectionString(), store::IndexFillPace());
  }
  if (!settingsNotice.empty()) PostMessageW(dialog, kHotkeyMalformedMessage, 0, 0);
  if (!RegisterActivationHotkey()) PostMessageW(dialog, kHotkeyUnavailableMessage, 0, 0);
  // After the hotkey's notice, which it replaces: it says how the window is reached then.
  if (!iconShown) PostMessageW(dialog, kTrayIconMissingMessage, 0, 0);
  showAllowed = false;

  // Centred on the work area of the primary monitor; stays hidden.
  const POINT at = ui::CentredOnWorkArea(dialog);
  SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (firstStartNotice && storeCreated) PostMessageW(dialog, kFirstStartMessage, 0, 0);
  return TRUE;
}

void CMainDlg::AddMenuLinks() {
  if (menuLinks.empty()) return;
  HMENU help = GetSubMenu(GetMenu(Handle()), 2);
  if (help == nullptr) return;
  AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
  for (size_t i = 0; i < menuLinks.size(); ++i) {
    AppendMenuW(help, MF_STRING, kFirstMenuLinkId + i, menuLinks[i].first.c_str());
  }
  DrawMenuBar(Handle());
}

bool CMainDlg::RegisterActivationHotkey() {
  activationHotkey.emplace(Handle(), KWO_HOTKEY_ID, hotKey.modifiers, hotKey.key);
  return activationHotkey->IsRegistered();
}

bool CMainDlg::ChangeHotKey(const keys::HotKey& chosen) {
  if (!hotkeyOn) {
    // Stopped: only tried, so that a taken combination is refused now, not at the next start.
    return ui::HotkeyRegistration(Handle(), KWO_HOTKEY_ID, chosen.modifiers, chosen.key).IsRegistered();
  }
  const keys::HotKey old = hotKey;
  hotKey = chosen;
  if (RegisterActivationHotkey()) return true;
  hotKey = old;
  RegisterActivationHotkey();
  return false;
}

std::wstring CMainDlg::HotKeyText() const {
  return hotKey == keys::kDefaultHotKey ? L"Win + 空格" : ToWide(keys::FormatHotKey(hotKey));
}

void CMainDlg::ShowHotKey() {
  sender.hotKeyText = HotKeyText();
  if (hotKey != keys::kDefaultHotKey) ui::SetItemText(Handle(), IDC_HOTKEY_LABEL, L"激活热键: " + HotKeyText());
  RefreshTip();
}

void CMainDlg::OnShortKeyChanged() {
  if (searchMode.GiveWayToTyping()) {
    searchPending = true;
    SetTimer(Handle(), kSearchAgainTimerId, kSearchAgainMs, nullptr);
    return;
  }
  SearchEntries();
}

void CMainDlg::SearchEntries() {
  if (searchPending) KillTimer(Handle(), kSearchAgainTimerId);
  searchPending = false;
  ReopenChangedStore();
  const auto connection = store.Connection();
  std::optional<ListOutcome> outcome;
  bool byKey = false;
  {
    const SearchWait wait(connection, indexFiller);
    outcome = searchMode.Search(connection);
    if (!outcome) {
      byKey = true;
      outcome = SearchShortKey(connection);
    }
  }
  // After the list has repainted with its rows, before any notice.
  if (byKey && TrackRefusal()) return;
  TrackStore(outages.Update(JudgeStore(outcome->failed, outcome->locked, store.ServerAway())));
}

ListOutcome CMainDlg::SearchShortKey(const std::shared_ptr<store::DbConnection>& connection) {
  const std::u16string key = FromWide(ui::ItemText(Handle(), IDC_SHORTKEY));
  ui::SetItemText(Handle(), IDC_CONTENT, L"");
  std::vector<store::FoundEntry> rows;
  bool found = key.empty() || store::OpenLookup(results, connection, store::ShortKeyId(key));
  if (found && !key.empty() && results.RecordCount() != 0) {
    std::u16string content;
    if (results.FieldText(store::kColumnContent, content)) ui::SetItemText(Handle(), IDC_CONTENT, ToWide(content));
  }
  if (found && store::OpenPrefix(results, connection, key)) {
    const uint32_t count = results.RecordCount();
    // A row that cannot be read ends the listing; the rows before it stay.
    for (uint32_t i = 0; i < count && !results.AtEnd(); ++i) {
      store::FoundEntry row;
      if (!results.FieldText(store::kColumnKey, row.shortKey) || !results.FieldText(store::kColumnContent, row.content))
        break;
      rows.push_back(std::move(row));
      results.MoveNext();
    }
    results.Close();
  } else {
    found = false;
  }
  list.Show(rows);
  ListOutcome outcome;
  outcome.failed = !found;
  outcome.locked = !found && results.LastFailure() == store::DbFailure::Locked;
  return outcome;
}

void CMainDlg::TrackStore(bool tell) {
  if (outages.ServerAway() != tipShowsServerAway) {
    tipShowsServerAway = outages.ServerAway();
    RefreshTip();
  }
  if (!tell) return;
  switch (outages.State()) {
    case StoreState::ServerAway:
      PostMessageW(Handle(), kServerAwayMessage, 0, 0);
      break;
    case StoreState::Locked:
      ShowQuietNotice(L"数据库正被其他程序占用，暂时查不到速记。\n请稍后再输入速记符。", kSearchNoticeTimeoutMs);
      break;
    default:
      ShowQuietNotice(L"无法读取数据库，查不到速记。\n列表是空的，并不表示没有速记。", kSearchNoticeTimeoutMs);
      break;
  }
}

bool CMainDlg::TrackRefusal() {
  const store::DbFailure refusal = store.Refusal();
  notifyIcon.HideCommand(ID_RETRY_LOGIN, !store::IsRefusal(refusal));
  if (!store::IsRefusal(refusal)) {
    refusalTold = false;
    return false;
  }
  if (!refusalTold) PostMessageW(Handle(), kLoginRefusedMessage, refusal == store::DbFailure::DatabaseMissing, 0);
  refusalTold = true;
  return true;
}

INT_PTR CMainDlg::OnLoginRefused(WPARAM databaseMissing, LPARAM) {
  // Not a notice that closes itself: nothing logs in again until "重试".
  const std::wstring text = ToWide(LoginRefusedText(store.ConnectionString(), databaseMissing != 0));
  const std::wstring title = ui::ProgramName();
  if (MessageBoxW(Handle(), text.c_str(), title.c_str(), MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) ==
      IDRETRY) {
    OnRetryLogin();
  }
  return TRUE;
}

void CMainDlg::OnRetryLogin() {
  store.RetryLogin();
  refusalTold = false;
  SearchEntries();
}

// While a login is refused, a kwo.ini written since it was read (its write
// time, cheap to ask) with another connection string (a mended password)
// is opened: that is a new login.
void CMainDlg::ReopenChangedStore() {
  if (!store::IsRefusal(store.Refusal())) return;
  std::error_code unknown;
  const auto written = std::filesystem::last_write_time(std::filesystem::path(paths.iniFile), unknown);
  if (unknown || written == iniWritten) return;
  iniWritten = written;
  std::u16string connectionString;
  try {
    connectionString = ReadConnectionStringOf(paths.iniFile);
  } catch (const settings::IniError&) {
    return;  // being written, or unreadable: the session stays as it is
  }
  const std::u16string before = store.ConnectionString();
  if (connectionString == before) return;
  if (!store.Open(connectionString)) store.Open(before);
  refusalTold = false;
}

void CMainDlg::RefreshTip() {
  // Running, the tip names the hotkey in force.
  const std::wstring base = hotkeyOn ? ui::ProgramName() + L"（" + HotKeyText() + L"）"
                                     : ui::LoadStringResource(IDS_TIP_STOPPED);
  notifyIcon.SetTip(ToWide(TrayTip(FromWide(base), outages.ServerAway())));
}

void CMainDlg::SendCurrentEntry() {
  // Enter typed right after the text: what it sends is found first.
  if (searchPending) SearchEntries();
  EntryTexts texts;
  texts.content = FromWide(ui::ItemText(Handle(), IDC_CONTENT));
  if (!texts.content.empty() && options.enablePre == 1) texts.prefix = options.preStr;
  if (!texts.content.empty() && options.enableAfter == 1) texts.suffix = options.afterStr;
  sender.pasteAbove = static_cast<size_t>(std::max<int32_t>(0, options.pasteAbove));
  const SendOutcome report = sender.SendEntry(reinterpret_cast<desktop::WindowId>(Handle()), texts);
  // Once typing has begun the key is done with, as after a whole sending:
  // Enter again would type the beginning twice.
  if (report.result != SendOutcome::Result::NotSent) ClearShortKey();
  if (report.result == SendOutcome::Result::Typed) return;
  // When nothing was typed the key stays in the box and the window comes
  // back in front with it, so that Enter tries again. The notice takes no
  // keys: the user may type on in the window that has them.
  if (report.result == SendOutcome::Result::NotSent) ComeToFront();
  ShowQuietNotice(report.notice, kSendNoticeTimeoutMs);
}

void CMainDlg::KeepInFront() {
  if (!IsWindowVisible(Handle()) || frontChecksLeft <= 0) {
    KillTimer(Handle(), KWO_FRONT_TIMER_ID);
    return;
  }
  --frontChecksLeft;
  if (GetForegroundWindow() == Handle()) return;
  // Another window of this program (a notice, a dialog) in front is the user's doing.
  DWORD process = 0;
  GetWindowThreadProcessId(GetForegroundWindow(), &process);
  if (process == GetCurrentProcessId()) return;
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(Handle());
}

void CMainDlg::ComeToFront() {
  showAllowed = true;
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(Handle());
}

void CMainDlg::RememberTarget() {
  // Called up again while in front, the window in front is this one: the target stays.
  sender.RememberTarget(IsWindowVisible(Handle()) != FALSE);
}

void CMainDlg::ClearShortKey() {
  // Emptying the box runs the search through EN_CHANGE; an empty box is searched directly.
  if (ui::ItemText(Handle(), IDC_SHORTKEY).empty()) {
    SearchEntries();
  } else {
    ui::SetItemText(Handle(), IDC_SHORTKEY, L"");
  }
}

COLORREF CMainDlg::BackgroundColour() const { return RGB(options.red, options.green, options.blue); }

void CMainDlg::ToggleRunning() {
  if (hotkeyOn) {
    activationHotkey.reset();
    hotkeyOn = false;
    RefreshTip();
    notifyIcon.SetIcon(stoppedIcon.get());
  } else {
    const bool registered = RegisterActivationHotkey();
    ShowWindow(Handle(), SW_HIDE);
    hotkeyOn = true;
    ShowHotKey();
    notifyIcon.SetIcon(smallIcon.get());
    if (!registered) PostMessageW(Handle(), kHotkeyUnavailableMessage, 0, 0);
  }
}

void CMainDlg::OnOK() { SendCurrentEntry(); }

void CMainDlg::OnCancel() { ShowWindow(Handle(), SW_HIDE); }

bool CMainDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (const auto link = MenuLinkIndex(MAKEWPARAM(id, code), menuLinks.size())) {
    OpenOrTell(Handle(), menuLinks[*link].second, L"帮助菜单中的链接“" + menuLinks[*link].first + L"”");
    return true;
  }
  // While a window of ours runs modally the dialog is disabled, but the tray
  // menu still sends its commands. A second options dialog would be closed
  // last and write back the values the first one replaced; a second file
  // dialog would run nested in the first. The open window comes to the
  // front instead.
  if (!IsWindowEnabled(Handle()) && OpensModalWindow(id)) {
    BringModalWindowToFront();
    return true;
  }
  return CDialog::OnCommand(id, code, control);
}

bool CMainDlg::BringModalWindowToFront() {
  // Every window of ours that runs modally is owned by this one and keeps it
  // disabled: while it is enabled, a visible popup of the thread (a list
  // view's tooltip left up after the window hid) is no modal window.
  if (IsWindowEnabled(Handle())) return false;
  ModalSearch search;
  search.main = Handle();
  EnumThreadWindows(GetCurrentThreadId(), &FindModalWindow, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return false;
  if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
  SetForegroundWindow(search.found);
  return true;
}

void CMainDlg::OnStart() {
  if (!hotkeyOn) {
    hotkeyOn = true;
    if (!RegisterActivationHotkey()) PostMessageW(Handle(), kHotkeyUnavailableMessage, 0, 0);
  }
  SendCurrentEntry();
}

void CMainDlg::OnAddEntry() {
  entries::RunEditDialog(Handle(), store);
  ClearShortKey();
}

void CMainDlg::OnExit() {
  // A dialog with typed changes would be closed unsaved: it comes to the
  // front instead, and the program goes on.
  if (ui::ThreadHoldsUnsavedChanges(Handle())) {
    BringModalWindowToFront();
    SetMessageResult(kExitRefused);
    return;
  }
  SetMessageResult(0);
  // A popup menu that is still open would swallow the quit message in its own loop.
  EndMenu();
  PostMessageW(Handle(), WM_QUIT, 0, 0);
}

void CMainDlg::OnImport() {
  if (entries::RunImport(Handle(), store, results)) SearchEntries();
}

void CMainDlg::OnExport() {
  entries::RunExport(Handle(), store, results);
  TrackStore(outages.UpdateServer(store.ServerAway()));
}

void CMainDlg::OnAbout() { controls::ShowAboutBox(Handle()); }

void CMainDlg::OnCheckVersion() { controls::ShowVersionNotice(Handle()); }

void CMainDlg::OnHelpFile() {
  const std::wstring& file = paths.helpFile;
  const bool missing = GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES;
  OpenOrTell(Handle(), file, L"帮助文件", missing ? L"请重新安装疾书精灵。" : L"");
}

void CMainDlg::OnOpen() {
  if (BringModalWindowToFront()) return;
  showAllowed = true;
  ShowWindow(Handle(), SW_SHOW);
}

void CMainDlg::OnOptions() {
  const int32_t timerWasOn = timerOn;
  settings::COptionDlg dialog;
  dialog.options = options;
  dialog.timerOn = timerOn;
  dialog.hotKey = hotKey;
  dialog.applyHotKey = [this](const keys::HotKey& chosen) { return ChangeHotKey(chosen); };
  dialog.iniPath = paths.iniFile;
  if (dialog.DoModal(Handle()) != IDOK) return;

  options = dialog.options;
  InvalidateRect(Handle(), nullptr, TRUE);
  timerOn = dialog.timerOn;
  hotKey = dialog.hotKey;  // while stopped, registered when started again
  ShowHotKey();

  if (timerOn != 0 && timerWasOn == 0) {
    sendTimerId = SetTimer(Handle(), KWO_SEND_TIMER_ID, TimerPeriodMs(options.interval), nullptr);
  } else if (timerOn == 0 && timerWasOn != 0) {
    KillTimer(Handle(), sendTimerId);
  }
}

void CMainDlg::OnShortKeySetFocus() {
  if (const ui::InputContext context(Handle()); context) {
    imeWasOpen = ImmGetOpenStatus(context.get());
    ImmSetOpenStatus(context.get(), searchMode.Active() ? TRUE : FALSE);
  }
}

void CMainDlg::OnShortKeyKillFocus() {
  if (const ui::InputContext context(Handle()); context) ImmSetOpenStatus(context.get(), imeWasOpen);
}

INT_PTR CMainDlg::OnHotKey(WPARAM, LPARAM) {
  // Shown over a window that runs modally, the main window would be
  // disabled and that window hidden behind it: nothing could be reached.
  if (BringModalWindowToFront()) return TRUE;
  const bool inFront = GetForegroundWindow() == Handle();
  RememberTarget();
  if (!inFront) sender.PlaceNearTarget(reinterpret_cast<desktop::WindowId>(Handle()));
  showAllowed = true;
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
  // An activation still on its way to the window the user was in can take the
  // foreground back a moment later: looked at again for a short while.
  frontChecksLeft = kFrontChecks;
  SetTimer(Handle(), KWO_FRONT_TIMER_ID, kFrontCheckMs, nullptr);
  // A key kept from before (Esc, a sending that could not start) is
  // selected: Enter still sends it, the first key typed replaces it.
  SendMessageW(Item(IDC_SHORTKEY), EM_SETSEL, 0, -1);
  return TRUE;
}

INT_PTR CMainDlg::OnDpiChanged(WPARAM wParam, LPARAM) {
  // The dialog manager scales the dialog and its fonts; the list's columns are in pixels.
  list.View().SetColumnWidth(0, MulDiv(kKeyColumnWidth, LOWORD(wParam), USER_DEFAULT_SCREEN_DPI));
  list.View().SetColumnWidth(1, MulDiv(kContentColumnWidth, LOWORD(wParam), USER_DEFAULT_SCREEN_DPI));
  return FALSE;
}

INT_PTR CMainDlg::OnWindowPosChanging(WPARAM, LPARAM lParam) {
  if (!showAllowed) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
  return FALSE;
}

INT_PTR CMainDlg::OnActivate(WPARAM wParam, LPARAM) {
  // Only on activation: taking the focus while being deactivated would pull
  // the window back to the front when it hides to send.
  if (LOWORD(wParam) == WA_INACTIVE) return FALSE;
  SetFocus(Item(IDC_SHORTKEY));
  return TRUE;
}

INT_PTR CMainDlg::OnTimer(WPARAM wParam, LPARAM) {
  if (wParam == KWO_FRONT_TIMER_ID) {
    KeepInFront();
    return FALSE;
  }
  if (wParam == kSearchAgainTimerId) {
    SearchEntries();  // kills the timer
    return FALSE;
  }
  if (wParam == sendTimerId && timerOn != 0 && options.interval > 0 && !IsWindowVisible(Handle())) {
    const SendOutcome report = sender.SendTimed(options.timerStr);
    if (!report.notice.empty()) ShowQuietNotice(report.notice, kSendNoticeTimeoutMs);
  }
  return FALSE;
}

INT_PTR CMainDlg::OnCtlColor(WPARAM wParam, LPARAM) {
  // One brush per colour, kept until the colour changes. The text gets a
  // colour that stays readable on the background (black on black otherwise).
  HDC dc = reinterpret_cast<HDC>(wParam);
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, BackgroundColour());
  const bool light = WantsLightText(options.red, options.green, options.blue);
  SetTextColor(dc, light ? RGB(255, 255, 255) : RGB(0, 0, 0));
  return reinterpret_cast<INT_PTR>(backgroundBrush.Get(BackgroundColour()));
}

INT_PTR CMainDlg::OnCtlColorEdit(WPARAM wParam, LPARAM lParam) {
  HBRUSH brush = searchMode.BoxBrush(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
  return brush != nullptr ? reinterpret_cast<INT_PTR>(brush) : FALSE;
}

INT_PTR CMainDlg::OnNotify(WPARAM, LPARAM lParam) {
  const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
  switch (searchMode.OnListNotify(header)) {
    case CSearchMode::ListResult::Chosen:  // typing goes on in the box, where Enter sends the chosen row
      // Posted: the list is still handling the click.
      PostMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SHORTKEY)), TRUE);
      break;
    case CSearchMode::ListResult::Send:
      SendCurrentEntry();
      break;
    default:
      break;
  }
  return FALSE;
}

bool CMainDlg::OnShortKeyKey(UINT key) {
  switch (searchMode.OnBoxKey(key)) {
    case CSearchMode::KeyResult::Entered:
      // An empty box waits for the first word; emptying it later ends the mode.
      if (!ui::ItemText(Handle(), IDC_SHORTKEY).empty()) SearchEntries();
      return true;
    case CSearchMode::KeyResult::Left:
      ClearShortKey();
      return true;
    case CSearchMode::KeyResult::Handled:
      return true;
    default:
      return false;
  }
}

INT_PTR CMainDlg::OnSysCommand(WPARAM wParam, LPARAM) {
  if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
  OnAbout();
  return TRUE;
}

INT_PTR CMainDlg::OnPaint(WPARAM, LPARAM) {
  if (!IsIconic(Handle())) return FALSE;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Handle(), &paint);
  SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(Handle(), &client);
  const int width = GetSystemMetrics(SM_CXICON), height = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (client.right - width + 1) / 2, (client.bottom - height + 1) / 2, programIcon.get());
  EndPaint(Handle(), &paint);
  return TRUE;
}

INT_PTR CMainDlg::OnQueryDragIcon(WPARAM, LPARAM) {
  // One of the few messages whose answer is the dialog procedure's return
  // value itself, not DWLP_MSGRESULT.
  return reinterpret_cast<INT_PTR>(programIcon.get());
}

INT_PTR CMainDlg::OnTrayCallback(WPARAM wParam, LPARAM lParam) {
  // Before the menu makes this window the foreground one; its "打开" then sends there.
  const UINT mouse = LOWORD(lParam);
  if (mouse == WM_RBUTTONUP || mouse == WM_LBUTTONDBLCLK) RememberTarget();
  return SetMessageResult(notifyIcon.OnTrayNotification(wParam, lParam));
}

INT_PTR CMainDlg::OnInitMenuPopup(WPARAM wParam, LPARAM) {
  // The running state shows as a check mark at "启动/停止" in both menus.
  CheckMenuItem(reinterpret_cast<HMENU>(wParam), ID_TOGGLE_RUNNING,
                MF_BYCOMMAND | (hotkeyOn ? MF_CHECKED : MF_UNCHECKED));
  return FALSE;
}

INT_PTR CMainDlg::OnTaskbarCreated(WPARAM, LPARAM) {
  notifyIcon.Restore();
  return FALSE;
}

INT_PTR CMainDlg::OnHotkeyUnavailable(WPARAM, LPARAM) {
  ShowQuietNotice(L"热键 " + HotKeyText() + L" 已被其他程序占用。\n"
                  L"请右击通知区域中的疾书精灵图标，选择“打开”，或在“设置”中换一个热键。",
                  kHotkeyNoticeTimeoutMs);
  return TRUE;
}

INT_PTR CMainDlg::OnHotkeyMalformed(WPARAM, LPARAM) {
  ShowQuietNotice(settingsNotice, kHotkeyNoticeTimeoutMs);
  return TRUE;
}

INT_PTR CMainDlg::OnTrayIconMissing(WPARAM, LPARAM) {
  if (activationHotkey && activationHotkey->IsRegistered()) {
    ShowQuietNotice(L"疾书精灵的图标没能放进通知区域。\n请按 " + HotKeyText() +
                        L" 呼出窗口；设置、导入、导出和退出都在窗口的菜单和按钮中。",
                    kHotkeyNoticeTimeoutMs);
    return TRUE;
  }
  // Neither the icon nor the hotkey: the window stays on the screen, or nothing would reach it.
  OnOpen();
  ShowQuietNotice(L"疾书精灵的图标没能放进通知区域，热键 " + HotKeyText() +
                      L" 也已被其他程序占用。\n窗口会留在屏幕上；可以在“设置”中换一个热键。",
                  kHotkeyNoticeTimeoutMs);
  return TRUE;
}

INT_PTR CMainDlg::OnServerAway(WPARAM, LPARAM) {
  ShowQuietNotice(L"连不上数据库服务器，暂时查不到速记。\n"
                  L"疾书精灵会在下次查找时自动重新连接。",
                  kHotkeyNoticeTimeoutMs);
  return TRUE;
}

INT_PTR CMainDlg::OnHelpKey(WPARAM, LPARAM) {
  OnHelpFile();
  return TRUE;
}

INT_PTR CMainDlg::OnFirstStart(WPARAM, LPARAM) {
  OnOpen();
  SetForegroundWindow(Handle());
  ShowFirstStartNotice(Handle(), HotKeyText());
  return TRUE;
}

INT_PTR CMainDlg::OnDestroy(WPARAM, LPARAM) {
  if (sendTimerId != 0) KillTimer(Handle(), sendTimerId);
  // Ends after its part in progress, which commits or rolls back as a whole.
  indexFiller.Stop();
  store.Close();
  activationHotkey.reset();
  return FALSE;
}

}  // namespace kwo::app
