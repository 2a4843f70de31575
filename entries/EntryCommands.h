#pragma once
// The main dialog's entry commands: the edit dialog, import and export.
#include <windows.h>

#include "store/AdoDataBase.h"

namespace kwo::entries {

// Runs the entry edit dialog modally on the main dialog's connection.
void RunEditDialog(HWND owner, kwo::store::CADODataBase& database);
// Import and export through the main dialog's result set. After an import the
// caller runs its search again so that the list shows the imported entries.
void RunImport(HWND owner, kwo::store::CADODataBase& database, kwo::store::CADORecordset& results);
void RunExport(HWND owner, kwo::store::CADODataBase& database, kwo::store::CADORecordset& results);

}  // namespace kwo::entries
