#include "entries/Importer.h"

#include "entries/ExchangeFile.h"
#include "entries/ExchangeReader.h"
#include "store/EntryUpsert.h"
#include "store/ShorthandTable.h"

namespace kwo::entries {

namespace {

// Rolls back unless committed, so an exception leaves the database as it was.
class Transaction {
 public:
  explicit Transaction(store::CADODataBase& database) : database_(database), active_(database.BeginTrans()) {}
  ~Transaction() {
    if (active_) database_.RollbackTrans();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Without a transaction every row was committed on its own: nothing to do.
  bool Commit() {
    if (!active_) return true;
    active_ = false;
    if (database_.CommitTrans()) return true;
    database_.RollbackTrans();
    return false;
  }

 private:
  store::CADODataBase& database_;
  bool active_;
};

bool StoreEntry(store::EntryUpsert& upsert, const ExchangeEntry& entry) {
  store::DbError ignored;  // a refused row is counted as skipped
  return upsert.Store(store::ShortKeyId(entry.key), entry.key, entry.content, ignored);
}

}  // namespace

ImportResult ImportEntries(store::CADODataBase& database, store::CADORecordset& recordset, std::string_view bytes) {
  ImportResult result;
  Transaction transaction(database);
  ExchangeReader reader(bytes);
  ExchangeEntry entry;
  store::EntryUpsert upsert(database.Connection());
  for (;;) {
    const ExchangeReader::Result next = reader.Next(entry);
    if (next == ExchangeReader::Result::End) break;
    if (next == ExchangeReader::Result::FormatError) {
      result.status = ImportResult::Status::FormatError;
      result.errorMessage = reader.ErrorMessage();
      break;
    }
    if (StoreEntry(upsert, entry))
      ++result.stored;
    else
      ++result.skipped;
  }
  recordset.Close();
  if (!transaction.Commit()) {
    result.status = ImportResult::Status::NotSaved;
    result.stored = 0;
  }
  return result;
}

ImportResult ImportFile(store::CADODataBase& database, store::CADORecordset& recordset,
                        const std::filesystem::path& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    ImportResult result;
    result.status = ImportResult::Status::CannotOpen;
    return result;
  }
  return ImportEntries(database, recordset, bytes);
}

}  // namespace kwo::entries
