#include "controls/UrlLabel.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "ui/Shell.h"
#include "ui/Window.h"

namespace kwo::controls {

namespace {

constexpr UINT kTooltipId = 1;
constexpr UINT kHoverIntervalMs = 100;
// Registry values longer than this are no command line we would run.
constexpr DWORD kMaxRegistryBytes = 32 * 1024;

}  // namespace

bool CUrlLabel::ReadRegisteredDefault(const std::wstring& subKey, std::wstring& value) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  const kwo::ui::OwnedRegistryKey key(opened);
  std::vector<BYTE> buffer(260);
  LONG rc;
  for (;;) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    rc = RegQueryValueExW(key.get(), nullptr, nullptr, &type, buffer.data(), &size);
    if (rc == ERROR_MORE_DATA && size <= kMaxRegistryBytes && size > buffer.size()) {
      buffer.resize(size);
      continue;
    }
    if (rc == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) rc = ERROR_INVALID_DATA;
    if (rc == ERROR_SUCCESS) {
      // The stored text need not end with a terminator: take exactly what was read.
      value.assign(reinterpret_cast<const wchar_t*>(buffer.data()), size / sizeof(wchar_t));
      const size_t end = value.find(L'\0');
      if (end != std::wstring::npos) value.resize(end);
    }
    break;
  }
  return rc == ERROR_SUCCESS;
}

CUrlLabel::~CUrlLabel() {
  if (Handle()) KillTimer(Handle(), kHoverTimerId);
}

void CUrlLabel::SetAddress(const std::wstring& address) {
  address_ = address;
  if (!Handle()) return;
  FitToText();
  if (tooltip_) {
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = Handle();
    tool.uId = kTooltipId;
    tool.lpszText = const_cast<wchar_t*>(address_.c_str());
    SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

bool CUrlLabel::AttachTo(HWND label) {
  if (!Attach(label)) return false;
  SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);

  const std::wstring text = kwo::ui::WindowText(label);
  if (address_.empty()) address_ = text;
  if (text.empty()) SetWindowTextW(label, address_.c_str());

  HFONT font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (!font) font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
  LOGFONTW description = {};
  GetObjectW(font, sizeof description, &description);
  description.lfUnderline = FALSE;
  standardFont_.reset(CreateFontIndirectW(&description));
  description.lfUnderline = TRUE;
  underlineFont_.reset(CreateFontIndirectW(&description));
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(standardFont_.get()), FALSE);

  FitToText();
  if (!handCursor_) LoadHandCursor();
  CreateTooltip();
  return true;
}

void CUrlLabel::FitToText() {
  HWND label = Handle();
  if (!adjustToFit_ || !label) return;
  HWND parent = GetParent(label);
  RECT window, client;
  GetWindowRect(label, &window);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  GetClientRect(label, &client);
  MapWindowPoints(label, parent, reinterpret_cast<POINT*>(&client), 2);

  const std::wstring text = kwo::ui::WindowText(label);
  SIZE extent = {};
  if (const kwo::ui::WindowDc dc(label); dc) {
    const kwo::ui::SelectedObject font(
        dc.get(), underlineFont_ ? underlineFont_.get() : GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  }
  const LONG height = extent.cy + (client.top - window.top) + (window.bottom - client.bottom);
  const LONG width = extent.cx + (client.left - window.left) + (window.right - client.right);
  const LONG_PTR style = GetWindowLongPtrW(label, GWL_STYLE);
  if (style & SS_CENTERIMAGE) {
    const LONG grow = height - (window.bottom - window.top);
    window.top -= grow / 2;
    window.bottom = window.top + height;
  } else {
    window.bottom = window.top + height;
  }
  const LONG kind = static_cast<LONG>(style & SS_TYPEMASK);
  if (kind == SS_CENTER) {
    const LONG grow = width - (window.right - window.left);
    window.left -= grow / 2;
    window.right = window.left + width;
  } else if (kind == SS_RIGHT) {
    window.left = window.right - width;
  } else {
    window.right = window.left + width;
  }
  SetWindowPos(label, nullptr, window.left, window.top, window.right - window.left, window.bottom - window.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void CUrlLabel::LoadHandCursor() {
  wchar_t folder[MAX_PATH + 1] = L"";
  const UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
  if (n > 0 && n <= MAX_PATH) {
    const std::wstring path = std::wstring(folder, n) + L"\\winhlp32.exe";
    if (const kwo::ui::OwnedModule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)); module) {
      if (HCURSOR cursor = LoadCursorW(module.get(), MAKEINTRESOURCEW(106)))
        handCursor_.reset(static_cast<HCURSOR>(CopyIcon(cursor)));
    }
  }
  // Systems whose winhlp32.exe has no hand have one of their own.
  if (!handCursor_) {
    if (HCURSOR hand = LoadCursorW(nullptr, IDC_HAND)) handCursor_.reset(static_cast<HCURSOR>(CopyIcon(hand)));
  }
}

void CUrlLabel::CreateTooltip() {
  tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, nullptr, nullptr));
  if (!tooltip_) return;
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = Handle();
  tool.uId = kTooltipId;
  tool.lpszText = const_cast<wchar_t*>(address_.c_str());
  GetClientRect(Handle(), &tool.rect);
  SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

COLORREF CUrlLabel::TextColour() const {
  if (over_) return hoverColour_;
  return visited_ ? visitedColour_ : linkColour_;
}

HBRUSH CUrlLabel::OnCtlColor(HDC dc) const {
  SetTextColor(dc, TextColour());
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void CUrlLabel::SetUnderline(bool underline) {
  const HFONT font = underline ? underlineFont_.get() : standardFont_.get();
  if (font) SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

LRESULT CUrlLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The tooltip sees the mouse through the label.
  if (tooltip_ && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
    MSG msg = {Handle(), message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
    const DWORD pos = GetMessagePos();
    msg.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    SendMessageW(tooltip_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
  }
  switch (message) {
    case WM_MOUSEMOVE:
      if (!over_) {
        over_ = true;
        if (underlineMode_ == -1) SetUnderline(true);
        InvalidateRect(Handle(), nullptr, TRUE);
        SetTimer(Handle(), kHoverTimerId, kHoverIntervalMs, nullptr);
      }
      break;
    case WM_TIMER:
      if (wParam == kHoverTimerId) {
        const DWORD pos = GetMessagePos();
        POINT point = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
        ScreenToClient(Handle(), &point);
        RECT client;
        GetClientRect(Handle(), &client);
        if (!PtInRect(&client, point)) {
          over_ = false;
          KillTimer(Handle(), kHoverTimerId);
          if (underlineMode_ != 1) SetUnderline(false);
          client.bottom += 10;
          InvalidateRect(Handle(), &client, TRUE);
        }
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (handCursor_) {
        SetCursor(handCursor_.get());
        return TRUE;
      }
      break;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(Handle(), &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_DESTROY:
      KillTimer(Handle(), kHoverTimerId);
      tooltip_.reset();
      break;
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}

void CUrlLabel::OnClicked() {
  over_ = false;
  const INT_PTR result = OpenAddress(address_, SW_SHOW);
  if (result > 32) {
    visited_ = true;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
    return;
  }
  visited_ = false;
  if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
  MessageBeep(MB_ICONEXCLAMATION);
  const std::wstring text = L"无法打开链接。\n\n目标：" + address_ + L"\n原因：" + ErrorText(result);
  MessageBoxW(Handle() ? GetParent(Handle()) : nullptr, text.c_str(), ui::ProgramName().c_str(), MB_ICONEXCLAMATION | MB_OK);
}

std::wstring CUrlLabel::HandlerCommandLine(const std::wstring& registered, const std::wstring& address) {
  std::wstring command = registered;
  size_t cut = command.find(L"\"%1\"");
  if (cut == std::wstring::npos) cut = command.find(L"%1");
  if (cut != std::wstring::npos) command.resize(cut);
  return command + L" " + address;
}

INT_PTR CUrlLabel::OpenAddress(const std::wstring& address, int showCommand) {
  INT_PTR result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, showCommand));
  if (result > 32) return result;

  std::wstring fileType, registered;
  if (!ReadRegisteredDefault(L".htm", fileType) || fileType.empty()) return result;
  if (!ReadRegisteredDefault(fileType + L"\\shell\\open\\command", registered)) return result;
  const std::wstring command = HandlerCommandLine(registered, address);
  const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, command.c_str(), static_cast<int>(command.size()), nullptr,
                                    0, nullptr, nullptr);
  // CreateProcess takes at most 32,767 characters.
  if (n <= 0 || n >= 32767) return result;
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, command.c_str(), static_cast<int>(command.size()), ansi.data(), n, nullptr,
                      nullptr);
  return static_cast<INT_PTR>(WinExec(ansi.c_str(), static_cast<UINT>(showCommand)));
}

std::wstring CUrlLabel::ErrorText(INT_PTR code) { return kwo::ui::SystemErrorText(kwo::ui::ShellResultError(code)); }

}  // namespace kwo::controls
