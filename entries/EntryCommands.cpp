// The import and export commands: the file dialog, the work of Importer and
// Exporter, and what the user is told.
#include "entries/EntryCommands.h"

#include <commdlg.h>

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "entries/Exporter.h"
#include "entries/Importer.h"
#include "text/Utf.h"
#include "ui/TimedNotice.h"

namespace kwo::entries {

namespace {

constexpr unsigned kNoticeMs = 2000;
constexpr unsigned kWarningNoticeMs = 8000;
constexpr wchar_t kErrorTitle[] = L"出错啦";

constexpr wchar_t kFilter[] = L"文本文件 (*.txt)\0*.txt\0所有文件 (*.*)\0*.*\0";

// The system Open dialog for import; the Save dialog for export, which asks
// before an existing file is replaced. False when the user cancels.
bool ChooseFile(HWND owner, bool forExport, std::filesystem::path& path) {
  wchar_t file[MAX_PATH] = {};
  const std::wstring_view defaultName = forExport ? L"速记导出.txt" : L"";
  defaultName.copy(file, defaultName.size());
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = L"txt";
  if (forExport) {
    ofn.lpstrTitle = L"导出";
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN;
  } else {
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  }
  // The program's folder stays the current one, whatever folder the user chose.
  ofn.Flags |= OFN_NOCHANGEDIR;
  if (!(forExport ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn))) return false;
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
  if (!ChooseFile(owner, false, path)) return false;
  bool ended = false;
  Guarded(owner, [&] {
    const ImportResult result = ImportFile(database, results, path);
    const std::wstring outcome = kwo::text::ToWide(ImportOutcomeText(result));
    switch (result.status) {
      case ImportResult::Status::CannotOpen:
        kwo::ui::ShowTimedNotice(outcome, kNoticeMs);
        return;
      case ImportResult::Status::NotSaved:
        ShowError(owner, outcome);
        return;
      case ImportResult::Status::FormatError:
        ShowError(owner, kwo::text::ToWide(result.errorMessage));
        break;
      case ImportResult::Status::Imported:
        break;
    }
    ended = true;
    // Time to read the keys when some contents have problems.
    kwo::ui::ShowTimedNotice(outcome, result.warnedKeys.empty() ? kNoticeMs : kWarningNoticeMs);
  });
  return ended;
}

void RunExport(HWND owner, kwo::store::CADODataBase& database, kwo::store::CADORecordset& results) {
  std::filesystem::path path;
  if (!ChooseFile(owner, true, path)) return;
  Guarded(owner, [&] {
    const ExportResult result = ExportFile(database, results, path);
    switch (result.status) {
      case ExportResult::Status::CannotCreate:
        kwo::ui::ShowTimedNotice(L"不能创建导出文件！", kNoticeMs);
        break;
      case ExportResult::Status::QueryFailed:
        ShowError(owner, L"不能读出速记数据，没有导出！");
        break;
      case ExportResult::Status::WriteFailed:
        ShowError(owner, L"导出文件没有写完整（磁盘满了、文件只读或者不能访问），原有的文件没有改动！");
        break;
      case ExportResult::Status::Exported:
        kwo::ui::ShowTimedNotice(L"导出OK！", kNoticeMs);
        break;
    }
  });
}

}  // namespace kwo::entries
