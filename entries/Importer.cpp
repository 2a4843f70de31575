#include "entries/Importer.h"

#include <string>

#include "entries/ExchangeFile.h"
#include "entries/ExchangeReader.h"
#include "store/ShorthandTable.h"
#include "store/Transaction.h"
#include "text/Utf.h"

namespace kwo::entries {

namespace {

ImportResult NotSaved(std::u16string why) {
  ImportResult result;
  result.status = ImportResult::Status::NotSaved;
  result.databaseError = std::move(why);
  return result;
}

}  // namespace

ImportResult ImportEntries(store::CADODataBase& database, store::CADORecordset& recordset, std::string_view bytes) {
  // Without the transaction every row would be committed on its own, and a
  // lock held by another program would lose some of them: nothing is stored then.
  store::Transaction transaction(database);
  if (!transaction.Active()) return NotSaved(transaction.Error());
  ImportResult result;
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
    if (!store::SaveEntry(recordset, database.Connection(), entry.key, entry.content)) {
      recordset.Close();
      return NotSaved(recordset.ErrorDescription());
    }
    ++result.stored;
  }
  recordset.Close();
  if (!transaction.Commit()) return NotSaved(transaction.Error());
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
    case ImportResult::Status::NotSaved:
      text = u"导入没有完成：数据库不能写入（可能正被别的程序使用），什么也没有导入。请稍后再试。";
      if (!result.databaseError.empty()) text += u"\n" + result.databaseError;
      return text;
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
  return text;
}

}  // namespace kwo::entries
