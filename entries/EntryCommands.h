#pragma once
// The main dialog's entry commands: the edit dialog, import and export.
#include <windows.h>

#include "store/AdoDataBase.h"

namespace kwo::entries {

// Runs the entry edit dialog modally on the main dialog's connection.
void RunEditDialog(HWND owner, kwo::store::CADODataBase& database);
// Import and export through the main dialog's result set. True when the
// import ran to its end (after a format error too): the caller then runs its
// search again so that the list shows the imported entries. False when the
// user cancelled or nothing could be imported.
bool RunImport(HWND owner, kwo::store::CADODataBase& database, kwo::store::CADORecordset& results);
void RunExport(HWND owner, kwo::store::CADODataBase& database, kwo::store::CADORecordset& results);

}  // namespace kwo::entries
