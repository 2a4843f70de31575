#include "app/FirstStart.h"

#include "store/ConnectionString.h"
#include "text/Chars.h"

namespace kwo::app {

bool StoreWillBeCreated(const std::u16string& connectionString) {
  store::ConnectionSettings settings;
  std::u16string message;
  if (!store::ParseConnectionString(connectionString, settings, message)) return false;
  if (!text::EqualNoCase(settings.provider, u"SQLite") || settings.dataSource.empty()) return false;
  const std::wstring file(settings.dataSource.begin(), settings.dataSource.end());
  if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  // Only a file that is not there is new; one that cannot be examined (a
  // share that is down, a folder without rights) is not.
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND;
}

void ShowFirstStartNotice(HWND owner) {
  MessageBoxW(owner,
              L"疾书精灵已经启动，它在通知区域（任务栏右下角）有一个图标。\n\n"
              L"• 在任何程序中按 Win + 空格，就会呼出这个窗口。\n"
              L"• 输入速记符，按回车，内容就输入到原来的窗口中。\n"
              L"• 点“新增速记”添加第一条速记：填写速记符和内容，然后点“确定”。\n\n"
              L"按 F1 或选择“帮助 → 帮助”可以查看帮助。",
              L"欢迎使用疾书精灵", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

}  // namespace kwo::app
