// The smallest programs that do what kwo.exe does at the two measured points,
// the yardsticks of the measured run (scripts/measure/app.sh).
//
//   mini_app.exe
//       a hidden window that registers Win + Space at once and waits for messages
//   mini_app.exe dialog
//       the controls, menu and manifest of kwo.exe's main window in a hidden
//       dialog "E2E Mini Dialog" (mini_app.rc), then Win + Space registered;
//       the hotkey shows it in front with the focus in the short-key box
//       (1001), Esc hides it again; its commands 32785 and 32787 open the
//       Open dialog and the Save dialog "导出" through IFileOpenDialog and
//       IFileSaveDialog as kwo.exe's import and export do, and nothing is
//       done with the file chosen; 32783 and 32784 do the same through the
//       classic common dialog, kwo.exe's fallback
//   mini_app.exe typer FILE
//       a window "E2E Mini Typer": on the Enter key it hides itself, pauses
//       50 ms as kwo.exe does and types the UTF-8 text of FILE with a bare
//       SendInput loop (one Unicode key down/up pair per call), then waits
//       to be shown again
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "tests/wine/TestIo.h"

namespace {

std::wstring text;

void TypeBare(HWND self) {
  ShowWindow(self, SW_HIDE);
  // The same one-time pause kwo.exe makes: the window the system activates
  // needs it to take the focus, or the first characters are lost.
  Sleep(50);
  for (wchar_t unit : text) {
    INPUT pair[2] = {};
    pair[0].type = pair[1].type = INPUT_KEYBOARD;
    pair[0].ki.wScan = pair[1].ki.wScan = unit;
    pair[0].ki.dwFlags = KEYEVENTF_UNICODE;
    pair[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInput(2, pair, sizeof(INPUT));
  }
}

LRESULT CALLBACK MiniProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wParam == VK_RETURN && !text.empty()) TypeBare(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// The dialogs' libraries are loaded on first use: the program's imports, and
// so its start as a yardstick, stay those of the bare dialog.
template <class Fn>
Fn Entry(const wchar_t* library, const char* name) {
  HMODULE module = LoadLibraryW(library);
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The same structure and flags as kwo.exe's fallback file dialogs.
void ChooseFile(HWND owner, bool forSave) {
  using ChooseFn = BOOL(WINAPI*)(OPENFILENAMEW*);
  static const auto open = Entry<ChooseFn>(L"comdlg32.dll", "GetOpenFileNameW");
  static const auto save = Entry<ChooseFn>(L"comdlg32.dll", "GetSaveFileNameW");
  if (!open || !save) return;
  wchar_t file[MAX_PATH] = {};
  if (forSave) lstrcpyW(file, L"速记导出.txt");
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"文本文件 (*.txt)\0*.txt\0所有文件 (*.*)\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = L"txt";
  ofn.lpstrTitle = forSave ? L"导出" : nullptr;
  ofn.Flags = forSave ? OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN
                      : OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  (forSave ? save : open)(&ofn);
}

// The same choice through the shell's file dialog objects (commands 32785, 32787).
void ChooseItem(HWND owner, bool forSave) {
  using InitFn = HRESULT(WINAPI*)(void*, DWORD);
  using UninitFn = void(WINAPI*)();
  using CreateFn = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
  static const auto init = Entry<InitFn>(L"ole32.dll", "CoInitializeEx");
  static const auto uninit = Entry<UninitFn>(L"ole32.dll", "CoUninitialize");
  static const auto create = Entry<CreateFn>(L"ole32.dll", "CoCreateInstance");
  if (!init || !uninit || !create || FAILED(init(nullptr, COINIT_APARTMENTTHREADED))) return;
  IFileDialog* dialog = nullptr;
  if (SUCCEEDED(create(forSave ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                       forSave ? IID_IFileSaveDialog : IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog)))) {
    const COMDLG_FILTERSPEC types[] = {{L"文本文件 (*.txt)", L"*.txt"}, {L"所有文件 (*.*)", L"*.*"}};
    dialog->SetFileTypes(2, types);
    dialog->SetDefaultExtension(L"txt");
    dialog->SetTitle(forSave ? L"导出" : L"打开");
    if (forSave) dialog->SetFileName(L"速记导出.txt");
    if (SUCCEEDED(dialog->Show(owner))) {
      IShellItem* item = nullptr;
      if (SUCCEEDED(dialog->GetResult(&item))) item->Release();
    }
    dialog->Release();
  }
  uninit();
}

constexpr int kMiniDialog = 102;
constexpr int kShortKeyBox = 1001;
constexpr int kList = 1000;

INT_PTR CALLBACK MiniDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      // The list's two columns, as kwo.exe shows them.
      HWND list = GetDlgItem(dialog, kList);
      const wchar_t* names[] = {L"速记符", L"内容"};
      const int widths[] = {60, 600};
      for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = widths[i];
        column.pszText = const_cast<wchar_t*>(names[i]);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
      }
      if (!RegisterHotKey(dialog, 1001, MOD_WIN, VK_SPACE)) PostQuitMessage(1);
      return FALSE;
    }
    case WM_HOTKEY:
      ShowWindow(dialog, SW_SHOW);
      SetForegroundWindow(dialog);
      SetFocus(GetDlgItem(dialog, kShortKeyBox));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) ShowWindow(dialog, SW_HIDE);
      if (LOWORD(wParam) == 1009) DestroyWindow(dialog);
      if (LOWORD(wParam) == 32783 || LOWORD(wParam) == 32784) ChooseFile(dialog, LOWORD(wParam) == 32784);
      if (LOWORD(wParam) == 32785 || LOWORD(wParam) == 32787) ChooseItem(dialog, LOWORD(wParam) == 32787);
      return TRUE;
    case WM_CLOSE:
      ShowWindow(dialog, SW_HIDE);
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

int RunDialog(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(kMiniDialog), nullptr, MiniDialogProc, 0);
  if (!dialog) return 1;
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return got < 0 ? 1 : static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::vector<std::wstring> args = kwo::wine_test::CommandLineArgs();
  if (args.size() > 1 && args[1] == L"dialog") return RunDialog(instance);
  const bool typer = args.size() > 2 && args[1] == L"typer";
  if (typer && !kwo::wine_test::ReadUtf8File(args[2], text)) return 1;

  WNDCLASSW wc = {};
  wc.lpfnWndProc = MiniProc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"KwoE2EMini";
  if (!RegisterClassW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, typer ? L"E2E Mini Typer" : L"E2E Mini Hotkey",
                              WS_OVERLAPPEDWINDOW, 500, 300, 300, 200, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  if (typer) {
    ShowWindow(hwnd, SW_SHOWNORMAL);
  } else if (!RegisterHotKey(hwnd, 1001, MOD_WIN, VK_SPACE)) {
    return 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
