// The import and export commands: the file dialog, the work of Importer and
// Exporter, and what the user is told.
#include "entries/EntryCommands.h"

#include <commdlg.h>

#include <exception>
#include <filesystem>
#include <string>

#include "entries/Exporter.h"
#include "entries/Importer.h"
#include "text/Utf.h"
#include "ui/TimedNotice.h"

namespace kwo::entries {

namespace {

constexpr unsigned kNoticeMs = 2000;
constexpr unsigned kWarningNoticeMs = 8000;
constexpr wchar_t kErrorTitle[] = L"出错啦";

// The system Open dialog, for export too. False when the user cancels.
bool ChooseExchangeFile(HWND owner, bool mustExist, std::filesystem::path& path) {
  wchar_t file[MAX_PATH] = L"";
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = L"Text Files (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = L"txt";
  ofn.Flags = OFN_PATHMUSTEXIST | (mustExist ? OFN_FILEMUSTEXIST : 0);
  if (!GetOpenFileNameW(&ofn)) return false;
  path = std::filesystem::path(file);
  return true;
}

void ShowError(HWND owner, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), kErrorTitle, MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

// Errors that escape the store end the command here, told to the user.
template <class Work>
void Guarded(HWND owner, Work work) {
  try {
    work();
  } catch (const std::exception& e) {
    ShowError(owner, L"数据库出错：" + kwo::text::ToWide(kwo::text::Utf8ToUtf16(e.what())));
  }
}

}  // namespace

bool RunImport(HWND owner, kwo::store::CADODataBase& database, kwo::store::CADORecordset& results) {
  std::filesystem::path path;
  if (!ChooseExchangeFile(owner, true, path)) return false;
  bool ended = false;
  Guarded(owner, [&] {
    const ImportResult result = ImportFile(database, results, path);
    switch (result.status) {
      case ImportResult::Status::CannotOpen:
        kwo::ui::ShowTimedNotice(L"不能打开导入文件！", kNoticeMs);
        return;
      case ImportResult::Status::NotSaved:
        ShowError(owner, L"数据库没有接受导入的速记，什么也没有导入。");
        return;
      case ImportResult::Status::FormatError:
        ShowError(owner, kwo::text::ToWide(result.errorMessage));
        break;
      case ImportResult::Status::Imported:
        break;
    }
    ended = true;
    // Time to read the keys when some contents have problems.
    kwo::ui::ShowTimedNotice(kwo::text::ToWide(ImportNotice(result)),
                             result.warnedKeys.empty() ? kNoticeMs : kWarningNoticeMs);
  });
  return ended;
}

void RunExport(HWND owner, kwo::store::CADODataBase& database, kwo::store::CADORecordset& results) {
  std::filesystem::path path;
  if (!ChooseExchangeFile(owner, false, path)) return;
  Guarded(owner, [&] {
    const ExportResult result = ExportFile(database, results, path);
    switch (result.status) {
      case ExportResult::Status::CannotCreate:
        kwo::ui::ShowTimedNotice(L"不能创建导出文件！", kNoticeMs);
        break;
      case ExportResult::Status::QueryFailed:
        // The file stays empty; say so rather than leave the user guessing.
        ShowError(owner, L"不能读出速记数据，导出文件是空的！");
        break;
      case ExportResult::Status::WriteFailed:
        ShowError(owner, L"导出文件没有写完整（磁盘满了或者不能访问）！");
        break;
      case ExportResult::Status::Exported:
        kwo::ui::ShowTimedNotice(L"导出OK！", kNoticeMs);
        break;
    }
  });
}

}  // namespace kwo::entries
