// Drives and inspects the windows of other processes for end-to-end tests
// under Wine. One command per run; results go to stdout as UTF-8; the exit
// code is 0 on success, 1 when a check fails or a wait times out, 2 on a
// usage error.
//
//   driver.exe COMMAND ARGS...
//
// WINDOW selects a top-level window:
//   TITLE               exact title (compared without case, as FindWindowW does)
//   class:CLASS         first window of that class
//   class:CLASS|TITLE   class and exact title
//   hwnd:0x1234         a handle printed by an earlier command
//   foreground          the foreground window
// CONTROL selects a window inside it:
//   a decimal control id (searched among all descendants), "focus" (the
//   control that has the keyboard focus in the window's thread), "self" (the
//   window itself) or "-" / omitted (the first Edit control inside, else the
//   window itself).
// MS is a timeout in milliseconds (default 10000). Waits poll every 20 ms.
//
// Windows:
//   wait WINDOW exists|visible|hidden|gone|foreground [MS]
//   state WINDOW                  prints none, hidden, visible or foreground
//   rect WINDOW                   prints the window's place on the screen: X Y WIDTH HEIGHT
//   caret WINDOW                  the text caret of the window's thread on the screen,
//                                 X Y WIDTH HEIGHT; fails when the thread shows none
//   workarea WINDOW               the work area of the window's monitor, X Y WIDTH HEIGHT
//   activate WINDOW [MS]          restore if minimised, SetWindowPos(HWND_TOP),
//                                 SetForegroundWindow; waits until it is foreground
//                                 and its thread has set the keyboard focus
//   minimize WINDOW [MS]          minimises and waits until it is iconic
//   close WINDOW                  posts WM_CLOSE
//   windows                       lists the top-level windows: handle, pid,
//                                 visible flag, class, title
//   focus                         prints the foreground window and the focused
//                                 control: handle, class, control id, title
//   hold                          stays in the desktop until it is killed: Wine
//                                 closes a virtual desktop a second after the
//                                 last program in it ends, which would race
//                                 with a program started again
// Input (SendInput, into whatever has the focus):
//   hotkey                        left Windows + Space
//   keys CHORD...                 each CHORD is KEY or MOD+...+KEY, e.g. RETURN,
//                                 CTRL+A, SHIFT+TAB, ALT+F4, 0x41; modifiers go
//                                 down first and up last
//   key-down KEY / key-up KEY     only the press or only the release of one key
//                                 (the key stays down after the driver ends)
//   type TEXT                     TEXT as Unicode key events, one pair per code unit
//   type-file FILE                the same with the text of a UTF-8 file
// Messages:
//   command WINDOW ID [CODE] [--send]    WM_COMMAND (posted unless --send)
//   message WINDOW MSG WPARAM LPARAM [--send]
//                                 any message with numeric arguments; --send
//                                 prints the result
//   ping WINDOW MS [OVER_MS]      for MS milliseconds, a WM_NULL round trip to the
//                                 window's thread every 100 ms; prints the
//                                 longest in milliseconds (how long the window
//                                 was frozen at most), and with OVER_MS how
//                                 many round trips took longer than that
//   control-message WINDOW CONTROL MSG WPARAM LPARAM [--send]
//                                 the same, to a control
//   click WINDOW CONTROL          posts BM_CLICK to a button (posted, so that a
//                                 modal loop it opens does not block the driver)
//   control-state WINDOW CONTROL  prints "visible|hidden enabled|disabled" and,
//                                 for check boxes and radio buttons,
//                                 " checked|unchecked"
// Controls of another process:
//   text WINDOW [CONTROL]         prints the text (WM_GETTEXT, exact, no newline added)
//   wait-text WINDOW CONTROL FILE [MS]
//                                 waits until the text equals the UTF-8 file
//                                 exactly; on timeout prints both, escaped, to
//                                 stderr
//   set-text WINDOW CONTROL TEXT  WM_SETTEXT
//   listview WINDOW CONTROL       prints the rows of a list-view, one line each,
//                                 columns separated by tabs
//   listview-selected WINDOW CONTROL
//                                 prints the indexes of the selected rows
//   click-row WINDOW CONTROL ROW [double]
//                                 clicks a list-view row with the mouse (twice:
//                                 a double-click); the window must be in front
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/wine/Poll.h"
#include "tests/wine/RemoteControl.h"
#include "tests/wine/SyntheticInput.h"
#include "tests/wine/TestIo.h"
#include "tests/wine/WindowLookup.h"

using namespace kwo::wine_test;

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;

int Usage(const std::wstring& why) {
  WriteErr(L"driver: " + why + L"\n");
  return 2;
}

DWORD TimeoutArg(const std::vector<std::wstring>& args, size_t index) {
  return args.size() > index ? static_cast<DWORD>(std::wcstoul(args[index].c_str(), nullptr, 10)) : kDefaultTimeoutMs;
}

const wchar_t* StateName(HWND hwnd) {
  if (!hwnd || !IsWindow(hwnd)) return L"none";
  if (!IsWindowVisible(hwnd)) return L"hidden";
  return GetForegroundWindow() == hwnd ? L"foreground" : L"visible";
}

int CmdWait(const std::vector<std::wstring>& args) {
  if (args.size() < 2) return Usage(L"wait WINDOW exists|visible|hidden|gone|foreground [MS]");
  const std::wstring& selector = args[0];
  const std::wstring& want = args[1];
  auto check = [&]() -> bool {
    HWND hwnd = FindTopWindow(selector);
    bool exists = hwnd && IsWindow(hwnd);
    if (want == L"exists") return exists;
    if (want == L"gone") return !exists;
    if (want == L"visible") return exists && IsWindowVisible(hwnd);
    if (want == L"hidden") return exists && !IsWindowVisible(hwnd);
    if (want == L"foreground") return exists && GetForegroundWindow() == hwnd;
    return false;
  };
  if (want != L"exists" && want != L"gone" && want != L"visible" && want != L"hidden" && want != L"foreground")
    return Usage(L"unknown window state: " + want);
  if (PollUntil(check, TimeoutArg(args, 2))) {
    WriteOut(HandleText(FindTopWindow(selector)) + L"\n");
    return 0;
  }
  WriteErr(L"driver: timed out waiting for '" + selector + L"' to be " + want + L" (it is " +
           StateName(FindTopWindow(selector)) + L")\n");
  return 1;
}

int CmdState(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"state WINDOW");
  WriteOut(std::wstring(StateName(FindTopWindow(args[0]))) + L"\n");
  return 0;
}

int CmdRect(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"rect WINDOW");
  RECT rect{};
  HWND hwnd = FindTopWindow(args[0]);
  if (!hwnd || !GetWindowRect(hwnd, &rect)) return 1;
  WriteOut(std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
           std::to_wstring(rect.right - rect.left) + L" " + std::to_wstring(rect.bottom - rect.top) + L"\n");
  return 0;
}

int PrintRect(const RECT& rect) {
  WriteOut(std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
           std::to_wstring(rect.right - rect.left) + L" " + std::to_wstring(rect.bottom - rect.top) + L"\n");
  return 0;
}

int CmdCaret(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"caret WINDOW");
  HWND hwnd = FindTopWindow(args[0]);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!hwnd || !GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) || !info.hwndCaret) return 1;
  MapWindowPoints(info.hwndCaret, nullptr, reinterpret_cast<POINT*>(&info.rcCaret), 2);
  return PrintRect(info.rcCaret);
}

int CmdWorkArea(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"workarea WINDOW");
  HWND hwnd = FindTopWindow(args[0]);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!hwnd || !GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info)) return 1;
  return PrintRect(info.rcWork);
}

int CmdActivate(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"activate WINDOW [MS]");
  HWND hwnd = FindTopWindow(args[0]);
  if (!hwnd) {
    WriteErr(L"driver: no window '" + args[0] + L"'\n");
    return 1;
  }
  // Asking again while polling covers a window manager that lets the first
  // request pass before the window is ready.
  auto activate = [hwnd] {
    if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(hwnd);
  };
  activate();
  DWORD last = GetTickCount();
  // Keys sent before the window's thread has set its focus are lost: wait for that too.
  bool ok = PollUntil(
      [&] {
        if (GetForegroundWindow() == hwnd && FindControl(hwnd, L"focus") != nullptr) return true;
        if (GetTickCount() - last > 500) {
          activate();
          last = GetTickCount();
        }
        return false;
      },
      TimeoutArg(args, 1));
  if (!ok) {
    WriteErr(L"driver: '" + args[0] + L"' did not become the foreground window\n");
    return 1;
  }
  WriteOut(HandleText(hwnd) + L"\n");
  return 0;
}

int CmdMinimize(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"minimize WINDOW [MS]");
  HWND hwnd = FindTopWindow(args[0]);
  if (!hwnd) {
    WriteErr(L"driver: no window '" + args[0] + L"'\n");
    return 1;
  }
  ShowWindowAsync(hwnd, SW_MINIMIZE);
  if (!PollUntil([hwnd] { return IsIconic(hwnd) != FALSE; }, TimeoutArg(args, 1))) {
    WriteErr(L"driver: '" + args[0] + L"' was not minimised\n");
    return 1;
  }
  return 0;
}

int CmdClose(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"close WINDOW");
  HWND hwnd = FindTopWindow(args[0]);
  if (!hwnd) {
    WriteErr(L"driver: no window '" + args[0] + L"'\n");
    return 1;
  }
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  return 0;
}

BOOL CALLBACK ListWindow(HWND hwnd, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  WriteOut(HandleText(hwnd) + L" " + std::to_wstring(pid) + L" " + (IsWindowVisible(hwnd) ? L"v " : L"- ") +
           ClassOf(hwnd) + L" \"" + TitleOf(hwnd) + L"\"\n");
  return TRUE;
}

int CmdWindows() {
  EnumWindows(ListWindow, 0);
  return 0;
}

int CmdFocus() {
  HWND fg = GetForegroundWindow();
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  HWND focus = nullptr;
  if (fg && GetGUIThreadInfo(GetWindowThreadProcessId(fg, nullptr), &info)) focus = info.hwndFocus;
  WriteOut(L"foreground " + HandleText(fg) + L" " + (fg ? ClassOf(fg) : L"-") + L" \"" +
           (fg ? TitleOf(fg) : L"") + L"\"\n");
  WriteOut(L"focus " + HandleText(focus) + L" " + (focus ? ClassOf(focus) : L"-") + L" " +
           std::to_wstring(focus ? GetDlgCtrlID(focus) : 0) + L"\n");
  return 0;
}

int CmdHold() {
  // A message-only window makes this thread a user of the desktop; it takes
  // no part in activation and no enumeration of top-level windows lists it.
  HWND anchor = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!anchor) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

int CmdHotkey() {
  // Left Windows + Space, the program's call-up hotkey.
  SendChord({VK_LWIN}, VK_SPACE);
  return 0;
}

int CmdKeys(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"keys CHORD...");
  for (const std::wstring& chord : args) {
    std::vector<WORD> keys;
    if (!ParseChord(chord, keys)) return Usage(L"unknown key in '" + chord + L"'");
    WORD key = keys.back();
    keys.pop_back();
    SendChord(keys, key);
  }
  return 0;
}

int CmdKeyEvent(const std::vector<std::wstring>& args, bool up) {
  std::vector<WORD> keys;
  if (args.size() != 1 || !ParseChord(args[0], keys) || keys.size() != 1) return Usage(L"key-down|key-up KEY");
  SendKeyEvent(keys[0], up);
  return 0;
}

int CmdType(const std::wstring& text) {
  TypeUnicode(text);
  return 0;
}

int CmdTypeFile(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"type-file FILE");
  std::wstring text;
  if (!ReadUtf8File(args[0], text)) return 1;
  return CmdType(text);
}

// Resolves WINDOW and CONTROL or reports why not.
HWND TargetOrReport(const std::vector<std::wstring>& args) {
  HWND top = FindTopWindow(args[0]);
  if (!top) {
    WriteErr(L"driver: no window '" + args[0] + L"'\n");
    return nullptr;
  }
  HWND control = FindControl(top, args.size() > 1 ? args[1] : L"-");
  if (!control) WriteErr(L"driver: no control '" + (args.size() > 1 ? args[1] : L"-") + L"' in '" + args[0] + L"'\n");
  return control;
}

int CmdText(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"text WINDOW [CONTROL]");
  HWND control = TargetOrReport(args);
  std::wstring text;
  if (!control || !ReadControlText(control, text)) return 1;
  WriteOut(text);
  return 0;
}

int CmdWaitText(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return Usage(L"wait-text WINDOW CONTROL FILE [MS]");
  std::wstring expected;
  if (!ReadUtf8File(args[2], expected)) return 1;
  std::wstring actual;
  bool read = false;
  bool ok = PollUntil(
      [&] {
        HWND top = FindTopWindow(args[0]);
        HWND control = top ? FindControl(top, args[1]) : nullptr;
        read = control && ReadControlText(control, actual);
        return read && actual == expected;
      },
      TimeoutArg(args, 3));
  if (ok) return 0;
  WriteErr(L"driver: text of '" + args[0] + L"' control " + args[1] + L" does not match\n");
  WriteErr(L"expected: \"" + Escaped(expected) + L"\"\n");
  WriteErr(read ? L"actual:   \"" + Escaped(actual) + L"\"\n" : L"actual:   (control not found)\n");
  return 1;
}

int CmdSetText(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return Usage(L"set-text WINDOW CONTROL TEXT");
  HWND control = TargetOrReport(args);
  if (!control) return 1;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[2].c_str()), SMTO_ABORTIFHUNG,
                           kMessageTimeoutMs, &result) ||
      !result) {
    WriteErr(L"driver: WM_SETTEXT failed\n");
    return 1;
  }
  return 0;
}

bool HasFlag(std::vector<std::wstring>& args, const wchar_t* flag) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == flag) {
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

int SendOrPostTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool send) {
  if (!send) return PostMessageW(hwnd, msg, wParam, lParam) ? 0 : 1;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)) {
    WriteErr(L"driver: the window did not answer\n");
    return 1;
  }
  WriteOut(std::to_wstring(static_cast<long long>(result)) + L"\n");
  return 0;
}

int SendOrPost(const std::wstring& selector, UINT msg, WPARAM wParam, LPARAM lParam, bool send) {
  HWND hwnd = FindTopWindow(selector);
  if (!hwnd) {
    WriteErr(L"driver: no window '" + selector + L"'\n");
    return 1;
  }
  return SendOrPostTo(hwnd, msg, wParam, lParam, send);
}

int CmdCommand(std::vector<std::wstring> args) {
  bool send = HasFlag(args, L"--send");
  if (args.size() < 2) return Usage(L"command WINDOW ID [CODE] [--send]");
  WORD id = static_cast<WORD>(std::wcstoul(args[1].c_str(), nullptr, 0));
  WORD code = args.size() > 2 ? static_cast<WORD>(std::wcstoul(args[2].c_str(), nullptr, 0)) : 0;
  return SendOrPost(args[0], WM_COMMAND, MAKEWPARAM(id, code), 0, send);
}

int CmdMessage(std::vector<std::wstring> args) {
  bool send = HasFlag(args, L"--send");
  if (args.size() < 4) return Usage(L"message WINDOW MSG WPARAM LPARAM [--send]");
  UINT msg = static_cast<UINT>(std::wcstoul(args[1].c_str(), nullptr, 0));
  WPARAM wParam = static_cast<WPARAM>(std::wcstoull(args[2].c_str(), nullptr, 0));
  LPARAM lParam = static_cast<LPARAM>(std::wcstoll(args[3].c_str(), nullptr, 0));
  return SendOrPost(args[0], msg, wParam, lParam, send);
}

int CmdPing(const std::vector<std::wstring>& args) {
  if (args.size() < 2) return Usage(L"ping WINDOW MS [OVER_MS]");
  HWND hwnd = FindTopWindow(args[0]);
  if (!hwnd) {
    WriteErr(L"driver: no window '" + args[0] + L"'\n");
    return 1;
  }
  const ULONGLONG end = GetTickCount64() + std::wcstoul(args[1].c_str(), nullptr, 10);
  const ULONGLONG over = args.size() > 2 ? std::wcstoul(args[2].c_str(), nullptr, 10) : 0;
  ULONGLONG longest = 0;
  unsigned long overCount = 0;
  while (GetTickCount64() < end) {
    const ULONGLONG sent = GetTickCount64();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) {
      WriteErr(L"driver: the window did not answer within 60 s\n");
      return 1;
    }
    const ULONGLONG took = GetTickCount64() - sent;
    if (took > longest) longest = took;
    if (over > 0 && took > over) ++overCount;
    Sleep(100);
  }
  WriteOut(std::to_wstring(longest) + (over > 0 ? L" " + std::to_wstring(overCount) : std::wstring()) + L"\n");
  return 0;
}

int CmdControlMessage(std::vector<std::wstring> args) {
  bool send = HasFlag(args, L"--send");
  if (args.size() < 5) return Usage(L"control-message WINDOW CONTROL MSG WPARAM LPARAM [--send]");
  HWND control = TargetOrReport(args);
  if (!control) return 1;
  UINT msg = static_cast<UINT>(std::wcstoul(args[2].c_str(), nullptr, 0));
  WPARAM wParam = static_cast<WPARAM>(std::wcstoull(args[3].c_str(), nullptr, 0));
  LPARAM lParam = static_cast<LPARAM>(std::wcstoll(args[4].c_str(), nullptr, 0));
  return SendOrPostTo(control, msg, wParam, lParam, send);
}

int CmdClick(const std::vector<std::wstring>& args) {
  if (args.size() < 2) return Usage(L"click WINDOW CONTROL");
  HWND control = TargetOrReport(args);
  if (!control) return 1;
  return PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
}

int CmdControlState(const std::vector<std::wstring>& args) {
  if (args.size() < 2) return Usage(L"control-state WINDOW CONTROL");
  HWND control = TargetOrReport(args);
  if (!control) return 1;
  std::wstring state = IsWindowVisible(control) ? L"visible" : L"hidden";
  state += IsWindowEnabled(control) ? L" enabled" : L" disabled";
  if (ClassOf(control) == L"Button") {
    const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
        type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
      LRESULT checked = 0;
      DWORD_PTR value = 0;
      if (SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &value))
        checked = static_cast<LRESULT>(value);
      state += checked == BST_CHECKED ? L" checked" : L" unchecked";
    }
  }
  WriteOut(state + L"\n");
  return 0;
}

int CmdClickRow(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return Usage(L"click-row WINDOW CONTROL ROW [double]");
  HWND control = TargetOrReport(args);
  if (!control) return 1;
  RECT rect{};
  if (!ListViewRowRect(control, _wtoi(args[2].c_str()), rect)) {
    WriteErr(L"driver: no such list-view row\n");
    return 1;
  }
  POINT point{rect.left + 20, (rect.top + rect.bottom) / 2};
  MapWindowPoints(control, nullptr, &point, 1);
  ClickAt(point, args.size() > 3 && args[3] == L"double");
  return 0;
}

int CmdListView(const std::vector<std::wstring>& args, bool selectedOnly) {
  if (args.size() < 2) return Usage(L"listview WINDOW CONTROL");
  HWND control = TargetOrReport(args);
  if (!control) return 1;
  if (selectedOnly) {
    std::vector<int> rows;
    if (!ReadListViewSelection(control, rows)) return 1;
    for (int row : rows) WriteOut(std::to_wstring(row) + L"\n");
    return 0;
  }
  std::vector<std::vector<std::wstring>> rows;
  if (!ReadListView(control, rows)) return 1;
  for (const auto& row : rows) {
    std::wstring line;
    for (size_t i = 0; i < row.size(); ++i) line += (i ? L"\t" : L"") + row[i];
    WriteOut(line + L"\n");
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::wstring> all = kwo::wine_test::CommandLineArgs();
  if (all.size() < 2) return Usage(L"no command; see the top of driver.cpp");
  const std::wstring command = all[1];
  std::vector<std::wstring> args(all.begin() + 2, all.end());

  if (command == L"wait") return CmdWait(args);
  if (command == L"state") return CmdState(args);
  if (command == L"rect") return CmdRect(args);
  if (command == L"caret") return CmdCaret(args);
  if (command == L"workarea") return CmdWorkArea(args);
  if (command == L"activate") return CmdActivate(args);
  if (command == L"minimize") return CmdMinimize(args);
  if (command == L"close") return CmdClose(args);
  if (command == L"windows") return CmdWindows();
  if (command == L"focus") return CmdFocus();
  if (command == L"hold") return CmdHold();
  if (command == L"hotkey") return CmdHotkey();
  if (command == L"keys") return CmdKeys(args);
  if (command == L"key-down") return CmdKeyEvent(args, false);
  if (command == L"key-up") return CmdKeyEvent(args, true);
  if (command == L"type") return args.empty() ? Usage(L"type TEXT") : CmdType(args[0]);
  if (command == L"type-file") return CmdTypeFile(args);
  if (command == L"text") return CmdText(args);
  if (command == L"wait-text") return CmdWaitText(args);
  if (command == L"set-text") return CmdSetText(args);
  if (command == L"command") return CmdCommand(args);
  if (command == L"message") return CmdMessage(args);
  if (command == L"ping") return CmdPing(args);
  if (command == L"control-message") return CmdControlMessage(args);
  if (command == L"click") return CmdClick(args);
  if (command == L"control-state") return CmdControlState(args);
  if (command == L"listview") return CmdListView(args, false);
  if (command == L"listview-selected") return CmdListView(args, true);
  if (command == L"click-row") return CmdClickRow(args);
  return Usage(L"unknown command: " + command);
}
