// The entry point: one copy per logon, common controls, the C runtime's
// Chinese locale, start-up (app/Startup.h), then the main dialog runs modally
// for the life of the process.
#include <windows.h>

#include <commctrl.h>

#include <clocale>
#include <exception>

#include "app/InstanceGuard.h"
#include "app/MainDlg.h"
#include "app/MainLogic.h"
#include "app/Startup.h"
#include "text/Utf.h"
#include "ui/TimedNotice.h"
#include "ui/Window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  using namespace kwo;
  const std::wstring title = ui::ProgramName();
  app::CInstanceGuard guard(text::ToWide(app::InstanceGuardName(text::FromWide(title))));
  if (!guard.IsFirstInstance()) {
    ui::ShowTimedNotice(L"疾书精灵已运行", 2000);
    return 0;
  }

  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
  InitCommonControlsEx(&controls);
  setlocale(LC_ALL, "chs");

  try {
    app::CStartup started(app::EnterProgramFolder());
    app::CMainDlg dialog(started);
    dialog.firstStartNotice = true;
    dialog.DoModal(nullptr);
  } catch (const app::StartupError& failure) {
    MessageBoxW(nullptr, failure.Text().c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
  } catch (const std::exception& failure) {
    const std::wstring text = L"疾书精灵遇到意外错误，即将退出。\n\n" + text::ToWide(text::Utf8ToUtf16(failure.what()));
    MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return 1;
  }
  return 0;
}
