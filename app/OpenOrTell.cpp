#include "app/OpenOrTell.h"

#include "ui/Shell.h"
#include "ui/Window.h"

namespace kwo::app {

bool OpenOrTell(HWND owner, const std::wstring& target, const std::wstring& what, const std::wstring& hint) {
  const DWORD error = ui::ShellOpen(owner, target);
  if (error == 0) return true;
  std::wstring text = L"无法打开" + what + L"。\n\n目标：" + target + L"\n原因：" + ui::SystemErrorText(error);
  if (!hint.empty()) text += L"\n\n" + hint;
  MessageBoxW(owner, text.c_str(), ui::ProgramName().c_str(), MB_OK | MB_ICONEXCLAMATION);
  return false;
}

}  // namespace kwo::app
