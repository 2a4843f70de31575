// The import and export commands: the file dialog, the work of Importer and
// Exporter, and what the user is told.
#include "entries/EntryCommands.h"

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "entries/ExchangeFile.h"
#include "entries/Exporter.h"
#include "entries/Importer.h"
#include "text/Utf.h"
#include "ui/FileDialog.h"
#include "ui/TimedNotice.h"

namespace kwo::entries {

namespace {

constexpr unsigned kNoticeMs = 2000;
constexpr unsigned kWarningNoticeMs = 8000;
constexpr wchar_t kErrorTitle[] = L"出错啦";

// The system Open dialog for import; the Save dialog for export, which
// offers `path` when it is set. False when the user cancels.
bool ChooseFile(HWND owner, bool forExport, std::filesystem::path& path) {
  kwo::ui::FileDialogRequest request;
  request.forSave = forExport;
  request.title = forExport ? L"导出" : L"打开";
  request.types = {{L"文本文件 (*.txt)", L"*.txt"}, {L"所有文件 (*.*)", L"*.*"}};
  request.defaultExtension = L"txt";
  // Export asks itself, naming the file's state (see ChooseExportFile).
  request.askBeforeReplacing = false;
  if (forExport) request.defaultName = path.empty() ? L"速记导出.txt" : path.wstring();
  // The program's folder, which stays the current one.
  std::error_code unknown;
  request.defaultFolder = std::filesystem::current_path(unknown);
  return kwo::ui::ChooseFile(owner, request, path);
}

void ShowError(HWND owner, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), kErrorTitle, MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

// The file export writes. Before an existing file is replaced the user is
// asked, told when it is read-only (it stays so); "否" goes back to the dialog.
bool ChooseExportFile(HWND owner, std::filesystem::path& path) {
  for (;;) {
    if (!ChooseFile(owner, true, path)) return false;
    const FileState state = StateOf(path);
    if (state == FileState::Missing) return true;
    std::wstring question = L"“" + path.filename().wstring() + L"”已经存在";
    question += state == FileState::ReadOnly ? L"，而且是只读文件。\n替换它吗？替换后它仍是只读的。" : L"。\n替换它吗？";
    const UINT icon = state == FileState::ReadOnly ? MB_ICONWARNING : MB_ICONQUESTION;
    if (MessageBoxW(owner, question.c_str(), L"导出", MB_YESNO | MB_DEFBUTTON2 | icon) == IDYES) return true;
  }
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
  if (!ChooseExportFile(owner, path)) return;
  Guarded(owner, [&] {
    const ExportResult result = ExportFile(database, results, path);
    switch (result.status) {
      case ExportResult::Status::CannotCreate:
        kwo::ui::ShowTimedNotice(L"不能创建导出文件！", kNoticeMs);
        break;
      case ExportResult::Status::QueryFailed:
        ShowError(owner, L"不能读出速记数据，没有导出！" +
                             (result.reason.empty() ? std::wstring() : L"\n" + kwo::text::ToWide(result.reason)));
        break;
      case ExportResult::Status::WriteFailed:
        ShowError(owner, L"导出文件没有写完整（磁盘满了、文件只读或者不能访问），原有的文件没有改动！");
        break;
      case ExportResult::Status::Refused:
        ShowError(owner, L"系统不允许替换“" + path.filename().wstring() +
                             L"”（文件受保护、正被别的程序使用，或者没有权限），原有的文件没有改动！");
        break;
      case ExportResult::Status::Exported:
        kwo::ui::ShowTimedNotice(L"导出OK！", kNoticeMs);
        break;
    }
  });
}

}  // namespace kwo::entries
