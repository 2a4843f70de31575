#include "entries/Exporter.h"

#include "base/ReplacingFile.h"
#include "entries/ExchangeWriter.h"
#include "store/AdoErrors.h"
#include "store/ShorthandTable.h"

namespace kwo::entries {

ExportResult ExportFile(store::CADODataBase& database, store::CADORecordset& recordset,
                        const std::filesystem::path& path) {
  ExportResult result;
  kwo::ReplacingFile file;
  if (!file.Create(path)) {
    result.status = ExportResult::Status::CannotCreate;
    return result;
  }
  // On a failure the file goes without Close: an existing file stays as it was.
  // The rows are read straight from the table, not through the recordset.
  recordset.Close();
  ExchangeWriter writer;
  store::DbError error;
  if (!store::ReadEntries(database.Connection(),
                          [&writer](const std::u16string& key, const std::u16string& content) { writer.Add(key, content); },
                          error)) {
    // not opened, or a row could not be read: no part of the table passes for all of it
    result.status = ExportResult::Status::QueryFailed;
    result.reason = store::FailureDetail(error.failure, error.description);
    return result;
  }
  result.entries = writer.Count();
  const bool written = file.Write(writer.Bytes(&result.utf8));
  if (!file.Close() || !written)
    result.status = written && file.FailedStep() == kwo::ReplacingFile::Step::Replace ? ExportResult::Status::Refused
                                                                                      : ExportResult::Status::WriteFailed;
  return result;
}

}  // namespace kwo::entries
