// A stand-in for the user's editor in end-to-end tests: one top-level window
// with a multi-line edit control that fills it.
//
//   receiver.exe TITLE [X Y [OPTION...]]
//
// Options: --slow-paste=MS makes the edit handle every paste MS milliseconds
// late, its thread busy meanwhile (a busy program's Ctrl+V: the keys after it
// wait in the queue); --one-line makes the edit a one-line box (a chat
// box's: Enter adds nothing, a pasted text keeps only its first line).
//
// The edit (control id 100) takes the focus whenever the frame gets it, as real
// editors do, so re-activating the window puts typed text into the edit. Tab
// and Enter reach the edit as characters: there is no dialog manager in the
// message loop, so a Tab key inserts a tab and Enter inserts CR LF.
// The frame answers WM_APP + 1 with the number of pastes the edit has taken
// (WM_PASTE), so that a test can tell pasted text from typed text.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

constexpr int kEditId = 100;
constexpr UINT kPasteCountMessage = WM_APP + 1;
constexpr wchar_t kClassName[] = L"KwoTestReceiver";

WNDPROC editProc = nullptr;
LRESULT pasteCount = 0;
DWORD pasteDelayMs = 0;
bool oneLine = false;

LRESULT CALLBACK CountingEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PASTE) {
    ++pasteCount;
    if (pasteDelayMs > 0) Sleep(pasteDelayMs);
  }
  return CallWindowProcW(editProc, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      const DWORD lines = oneLine ? ES_AUTOHSCROLL : WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
      HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | lines,
                                  0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                                  GetModuleHandleW(nullptr), nullptr);
      if (!edit) return -1;
      editProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingEditProc)));
      // The default limit of 30,000 characters is enough, but long benchmark texts may grow.
      SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
      return 0;
    }
    case WM_SIZE:
      MoveWindow(GetDlgItem(hwnd, kEditId), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(GetDlgItem(hwnd, kEditId));
      return 0;
    case kPasteCountMessage:
      return pasteCount;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const wchar_t* title = argc > 1 ? argv[1] : L"Receiver";
  int x = argc > 3 ? _wtoi(argv[2]) : CW_USEDEFAULT;
  int y = argc > 3 ? _wtoi(argv[3]) : CW_USEDEFAULT;
  for (int i = 4; i < argc; ++i) {
    const wchar_t kSlowPaste[] = L"--slow-paste=";
    if (wcsncmp(argv[i], kSlowPaste, wcslen(kSlowPaste)) == 0) {
      pasteDelayMs = static_cast<DWORD>(_wtoi(argv[i] + wcslen(kSlowPaste)));
    } else if (wcscmp(argv[i], L"--one-line") == 0) {
      oneLine = true;
    }
  }

  WNDCLASSW wc = {};
  wc.lpfnWndProc = ReceiverProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassW(&wc)) return 1;

  HWND hwnd = CreateWindowExW(0, kClassName, title, WS_OVERLAPPEDWINDOW, x, y, 420, 300, nullptr, nullptr,
                              instance, nullptr);
  LocalFree(argv);
  if (!hwnd) return 1;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
