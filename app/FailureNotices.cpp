#include "app/FailureNotices.h"

#include "ui/Shell.h"
#include "ui/TimedNotice.h"

namespace kwo::app {

namespace {
constexpr unsigned kSendNoticeTimeoutMs = 10000;
constexpr wchar_t kCaption[] = L"疾书精灵";
}  // namespace

std::wstring SendReport::Text() const {
  std::wstring parts;
  for (const std::wstring& part : stopped_) {
    if (!parts.empty()) parts += L"、";
    parts += L"“" + part + L"”";
  }
  return L"发送没有完成：" + parts +
         L"在中途停止了，后面的按键没有发出。\n"
         L"（例如其中有超过 299 个字符的 {…} 按键组。）";
}

void SendReport::TellIfFailed() const {
  if (Failed()) ui::ShowTimedNotice(Text(), kSendNoticeTimeoutMs);
}

bool OpenOrTell(HWND owner, const std::wstring& target, const std::wstring& what) {
  const DWORD error = ui::ShellOpen(owner, target);
  if (error == 0) return true;
  const std::wstring text =
      L"无法打开" + what + L"。\n\n目标：" + target + L"\n原因：" + ui::SystemErrorText(error);
  MessageBoxW(owner, text.c_str(), kCaption, MB_OK | MB_ICONEXCLAMATION);
  return false;
}

}  // namespace kwo::app
