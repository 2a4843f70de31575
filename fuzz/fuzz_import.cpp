// Import of arbitrary bytes: the exchange-file reader and the import into an
// in-memory database kept open across inputs and emptied for each. Checks
// that every entry read has a well-formed key and that the reader ends,
// whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "entries/Escape.h"
#include "entries/ExchangeReader.h"
#include "entries/ExchangeWriter.h"
#include "entries/Importer.h"
#include "fuzz/FuzzCheck.h"
#include "store/AdoDataBase.h"

using kwo::fuzz::Check;

namespace {

bool ValidKey(std::u16string_view key) {
  if (key.empty() || key.size() > 6) return false;
  for (char16_t c : key)
    if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z'))) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  kwo::entries::ExchangeReader reader(bytes);
  kwo::entries::ExchangeEntry entry;
  kwo::entries::ExchangeWriter writer;
  size_t entries = 0;
  for (;;) {
    const auto r = reader.Next(entry);
    if (r == kwo::entries::ExchangeReader::Result::End) break;
    if (r == kwo::entries::ExchangeReader::Result::FormatError) {
      Check(!reader.ErrorMessage().empty());
      break;
    }
    Check(ValidKey(entry.key));
    Check(kwo::entries::Unescape(kwo::entries::Escape(entry.content).text).text == entry.content);
    writer.Add(entry.key, entry.content);
    Check(++entries <= size);  // every entry costs at least one byte of header
  }
  Check(reader.Next(entry) == kwo::entries::ExchangeReader::Result::End);
  // What was read can be written again and read back as the same number of entries.
  const std::string written = writer.Bytes();
  kwo::entries::ExchangeReader again(written);
  size_t reread = 0;
  while (again.Next(entry) == kwo::entries::ExchangeReader::Result::Entry) ++reread;
  Check(reread == entries);

  static kwo::store::CADODataBase database;
  static kwo::store::CADORecordset recordset;
  static const bool opened = database.Open(u"Provider=SQLite;Data Source=:memory:");
  Check(opened);
  // Each input starts from an empty table, as an import into a new kwo.db.
  kwo::store::DbError cleared;
  Check(database.Connection()->Session()->Execute(u"delete from kwo", cleared));
  const auto result = kwo::entries::ImportEntries(database, recordset, bytes);
  Check(result.status != kwo::entries::ImportResult::Status::NotSaved);
  Check(result.stored == entries);
  return 0;
}
