#include "entries/Importer.h"

#include "entries/ExchangeFile.h"
#include "entries/ExchangeReader.h"
#include "keys/SequenceCheck.h"
#include "store/ShorthandTable.h"
#include "text/Chars.h"

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

bool StoreEntry(store::CADODataBase& database, store::CADORecordset& rs, const ExchangeEntry& entry) {
  const uint32_t id = store::ShortKeyId(entry.key);
  if (!store::OpenLookup(rs, database.Connection(), id)) return false;
  bool ok = true;
  if (rs.AtEnd()) {
    ok = rs.AddNew() && rs.SetFieldText(0, store::IdText(id)) && rs.SetFieldText(1, entry.key);
  } else {
    rs.BeginEdit();
  }
  ok = ok && rs.SetFieldText(2, entry.content) && rs.Update();
  rs.Close();
  return ok;
}

}  // namespace

std::u16string ImportNotice(const ImportResult& result) {
  constexpr size_t kKeysNamed = 5;
  std::u16string notice = u"导入OK！";
  if (result.warnedKeys.empty()) return notice;
  notice += u"\n\n有 " + text::FormatDecimal(static_cast<int64_t>(result.warnedKeys.size())) +
            u" 条速记的内容可能不会按原意发送：";
  for (size_t i = 0; i < result.warnedKeys.size() && i < kKeysNamed; ++i) {
    notice += (i > 0 ? u"、" : u"") + result.warnedKeys[i];
  }
  if (result.warnedKeys.size() > kKeysNamed) notice += u" 等";
  return notice + u"。\n请在“新增速记”中打开它们查看。";
}

ImportResult ImportEntries(store::CADODataBase& database, store::CADORecordset& recordset, std::string_view bytes) {
  ImportResult result;
  Transaction transaction(database);
  ExchangeReader reader(bytes);
  ExchangeEntry entry;
  for (;;) {
    const ExchangeReader::Result next = reader.Next(entry);
    if (next == ExchangeReader::Result::End) break;
    if (next == ExchangeReader::Result::FormatError) {
      result.status = ImportResult::Status::FormatError;
      result.errorMessage = reader.ErrorMessage();
      break;
    }
    if (StoreEntry(database, recordset, entry)) {
      ++result.stored;
      if (keys::CheckKeySequence(entry.content).kind != keys::SequenceProblemKind::None) {
        result.warnedKeys.push_back(entry.key);
      }
    } else {
      ++result.skipped;
    }
  }
  recordset.Close();
  if (!transaction.Commit()) {
    result.status = ImportResult::Status::NotSaved;
    result.stored = 0;
    result.warnedKeys.clear();
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
