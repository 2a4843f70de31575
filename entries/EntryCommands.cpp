// Placeholder until the edit dialog, import and export are built on the dialog layer.
#include "entries/EntryCommands.h"

namespace kwo::entries {

namespace {
void NotYet(HWND owner) { MessageBoxW(owner, L"此功能尚未完成", L"疾书精灵", MB_OK | MB_ICONINFORMATION); }
}  // namespace

void RunEditDialog(HWND owner, kwo::store::CADODataBase&) { NotYet(owner); }
void RunImport(HWND owner, kwo::store::CADODataBase&, kwo::store::CADORecordset&) { NotYet(owner); }
void RunExport(HWND owner, kwo::store::CADODataBase&, kwo::store::CADORecordset&) { NotYet(owner); }

}  // namespace kwo::entries
