#include "entries/Importer.h"

#include <memory>
#include <string>

#include "entries/ExchangeFile.h"
#include "entries/ExchangeReader.h"
#include "keys/SequenceCheck.h"
#include "store/AdoErrors.h"
#include "store/EntryUpsert.h"
#include "store/ShorthandTable.h"
#include "store/Transaction.h"
#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::entries {

namespace {

// One prepared upsert per entry where the engine takes it; otherwise the
// recordset's save, which also refuses an id its column cannot hold.
bool StoreEntry(store::EntryUpsert* upsert, store::CADODataBase& database, store::CADORecordset& recordset,
                const ExchangeEntry& entry, std::u16string& why, store::DbFailure& failure) {
  store::DbError error;
  if (upsert) {
    if (upsert->Store(store::ShortKeyId(entry.key), entry.key, entry.content, error)) return true;
    why = error.description;
    failure = error.failure;
    return false;
  }
  if (store::SaveEntry(recordset, database.Connection(), entry.key, entry.content)) return true;
  why = recordset.ErrorDescription();
  failure = recordset.LastFailure();
  return false;
}

ImportResult NotSaved(std::u16string why, store::DbFailure failure) {
  ImportResult result;
  result.status = ImportResult::Status::NotSaved;
  result.databaseError = std::move(why);
  result.databaseFailure = failure;
  return result;
}

}  // namespace

ImportResult ImportEntries(store::CADODataBase& database, store::CADORecordset& recordset, std::string_view bytes) {
  // Without the transaction every row would be committed on its own, and a
  // lock held by another program would lose some of them: nothing is stored then.
  store::Transaction transaction(database);
  if (!transaction.Active()) {
    return NotSaved(transaction.Error(), transaction.Failure());
  }
  ImportResult result;
  ExchangeReader reader(bytes);
  ExchangeEntry entry;
  // Decided once: the engine takes the batched upsert, or every row goes through the recordset.
  const std::unique_ptr<store::EntryUpsert> upsert = store::EntryUpsert::Prepare(database.Connection());
  store::DbError error;
  for (;;) {
    const ExchangeReader::Result next = reader.Next(entry);
    if (next == ExchangeReader::Result::End) break;
    if (next == ExchangeReader::Result::FormatError) {
      result.status = ImportResult::Status::FormatError;
      result.errorMessage = reader.ErrorMessage();
      break;
    }
    if (!reader.CutKey().empty()) {
      result.cutKeys.emplace_back(reader.CutKey(), entry.key);
      if (upsert && !upsert->Flush(error)) return NotSaved(error.description, error.failure);
      if (!store::OpenLookup(recordset, database.Connection(), store::ShortKeyId(entry.key))) {
        recordset.Close();
        return NotSaved(recordset.ErrorDescription(), recordset.LastFailure());
      }
      if (recordset.RecordCount() != 0) ++result.cutKeysReplacing;
      recordset.Close();
    }
    std::u16string why;
    store::DbFailure failure = store::DbFailure::Other;
    if (!StoreEntry(upsert.get(), database, recordset, entry, why, failure)) {
      recordset.Close();
      return NotSaved(why, failure);
    }
    ++result.stored;
    if (keys::CheckKeySequence(entry.content).kind != keys::SequenceProblemKind::None) {
      result.warnedKeys.push_back(entry.key);
    }
  }
  recordset.Close();
  if (upsert && !upsert->Flush(error)) return NotSaved(error.description, error.failure);
  if (!transaction.Commit()) return NotSaved(transaction.Error(), transaction.Failure());
  result.unconvertedKey = reader.FirstUnconvertedKey();
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

std::u16string ImportOutcomeText(const ImportResult& result) {
  const std::u16string count = text::Ascii(std::to_string(result.stored));
  std::u16string text;
  switch (result.status) {
    case ImportResult::Status::CannotOpen:
      return u"不能打开导入文件！";
    case ImportResult::Status::NotSaved: {
      text = u"导入没有完成，什么也没有导入。\n";
      const std::u16string reason = store::WriteFailureReason(result.databaseFailure);
      if (!reason.empty()) return text + reason;
      text += u"数据库不能写入。";
      if (!result.databaseError.empty()) text += u"\n\n详细信息：" + result.databaseError;
      return text;
    }
    case ImportResult::Status::FormatError:
      text = result.stored == 0 ? u"什么也没有导入：第一条速记就有格式错误。"
                                : u"导入了 " + count + u" 条；出错处及以后的没有导入。";
      break;
    case ImportResult::Status::Imported:
      text = result.stored == 0 ? u"文件里没有速记，什么也没有导入。" : u"导入OK！";
      break;
  }
  if (!result.unconvertedKey.empty())
    text += u"\n速记符 " + result.unconvertedKey + u" 的内容里有不能转换成文字的字节，请检查。";
  if (!result.cutKeys.empty()) {
    text += u"\n\n速记符超过 6 个字符，已截为 6 个字符: ";
    for (size_t i = 0; i < result.cutKeys.size(); ++i)
      text += (i > 0 ? u"、" : u"") + result.cutKeys[i].first + u"→" + result.cutKeys[i].second;
    if (result.cutKeysReplacing > 0)
      text += u"\n其中 " + text::FormatDecimal(static_cast<int64_t>(result.cutKeysReplacing)) +
              u" 条截短后与已有的速记符相同，替换了那条速记的内容。";
  }
  if (!result.warnedKeys.empty()) {
    constexpr size_t kKeysNamed = 5;
    text += u"\n\n有 " + text::FormatDecimal(static_cast<int64_t>(result.warnedKeys.size())) +
            u" 条速记的内容可能不会按原意发送：";
    for (size_t i = 0; i < result.warnedKeys.size() && i < kKeysNamed; ++i) {
      text += (i > 0 ? u"、" : u"") + result.warnedKeys[i];
    }
    if (result.warnedKeys.size() > kKeysNamed) text += u" 等";
    text += u"。\n请在“新增速记”中打开它们查看。";
  }
  return text;
}

}  // namespace kwo::entries
