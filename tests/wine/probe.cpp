// A small stand-in for a hotkey-driven popup, used to check the driver's
// commands against known behaviour.
//
//   probe.exe
//
// Window "Hotkey Probe" (class KwoTestProbe), hidden at start. Win + Space
// (RegisterHotKey id 1001) shows it, brings it to the front and counts the
// calls in the static control 300 ("hotkeys: N"). Controls: edit 100 (takes
// the focus), list-view 200 (report view, columns 速记符 and 内容, three rows).
// WM_COMMAND 2 hides the window; WM_COMMAND 3 selects list row 1. Button 400
// (隐藏) hides the window too; check box 401 starts checked and disabled.
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

constexpr int kHotkeyId = 1001;
constexpr int kEditId = 100;
constexpr int kListId = 200;
constexpr int kCountId = 300;
constexpr int kHideCommand = 2;
constexpr int kSelectCommand = 3;
constexpr int kHideButton = 400;
constexpr int kCheckBox = 401;

int hotkeyCount = 0;

void AddColumn(HWND list, int index, const wchar_t* title, int width) {
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(title);
  column.cx = width;
  SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void AddRow(HWND list, int row, const wchar_t* key, const wchar_t* content) {
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(key);
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  item.iSubItem = 1;
  item.pszText = const_cast<wchar_t*>(content);
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

HWND Child(HWND parent, const wchar_t* cls, DWORD style, int id, int x, int y, int w, int h) {
  return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      Child(hwnd, L"EDIT", WS_BORDER | ES_AUTOHSCROLL, kEditId, 8, 8, 200, 24);
      Child(hwnd, L"STATIC", 0, kCountId, 220, 8, 150, 24);
      HWND list = Child(hwnd, WC_LISTVIEWW, WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS, kListId, 8, 40, 360, 200);
      AddColumn(list, 0, L"速记符", 80);
      AddColumn(list, 1, L"内容", 260);
      AddRow(list, 0, L"AB", L"你好，世界");
      AddRow(list, 1, L"ABC", L"hello world");
      AddRow(list, 2, L"Z9", L"emoji 😀 end");
      SetDlgItemTextW(hwnd, kCountId, L"hotkeys: 0");
      Child(hwnd, L"BUTTON", BS_PUSHBUTTON, kHideButton, 8, 248, 80, 24);
      SetDlgItemTextW(hwnd, kHideButton, L"隐藏");
      HWND check = Child(hwnd, L"BUTTON", BS_AUTOCHECKBOX | WS_DISABLED, kCheckBox, 100, 248, 120, 24);
      SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
      RegisterHotKey(hwnd, kHotkeyId, MOD_WIN, VK_SPACE);
      return 0;
    }
    case WM_HOTKEY:
      if (wParam == kHotkeyId) {
        SetDlgItemTextW(hwnd, kCountId, (L"hotkeys: " + std::to_wstring(++hotkeyCount)).c_str());
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kHideCommand || LOWORD(wParam) == kHideButton) ShowWindow(hwnd, SW_HIDE);
      if (LOWORD(wParam) == kSelectCommand) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendDlgItemMessageW(hwnd, kListId, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
      }
      return 0;
    case WM_SETFOCUS:
      SetFocus(GetDlgItem(hwnd, kEditId));
      return 0;
    case WM_DESTROY:
      UnregisterHotKey(hwnd, kHotkeyId);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"KwoTestProbe";
  if (!RegisterClassW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Hotkey Probe", WS_OVERLAPPEDWINDOW, 300, 200, 400, 320,
                              nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
