#pragma once
// Import: stores the entries of an exchange file. An entry whose key exists
// gets its content replaced; a new key gets a new row. The whole import runs
// in one transaction: committed at the end, after a format error too (the
// entries before the error are kept), and rolled back as a whole when the
// database refuses any write, so that an import stores every entry it read
// or none.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/AdoDataBase.h"

namespace kwo::entries {

struct ImportResult {
  enum class Status {
    Imported,     // the whole file was read
    FormatError,  // stopped at a malformed entry; `errorMessage` tells which
    CannotOpen,   // the file could not be read; nothing changed
    NotSaved,     // the database refused a write or the commit; nothing changed
  };
  Status status = Status::Imported;
  std::u16string errorMessage;
  size_t stored = 0;
  std::u16string databaseError;   // NotSaved: the engine's words
  store::DbFailure databaseFailure = store::DbFailure::Other;  // NotSaved: why, as the engine judged it
  std::u16string unconvertedKey;  // the first entry with bytes that could not be converted
  // Keys of the stored entries whose content the interpreter would not read
  // as it seems meant (see keys/SequenceCheck.h), in file order.
  std::vector<std::u16string> warnedKeys;
  // Keys longer than six characters, as the file wrote them, each with the
  // six it was stored under, in file order; how many of them replaced the
  // content of an entry that was there (before the import or earlier in the file).
  std::vector<std::pair<std::u16string, std::u16string>> cutKeys;
  size_t cutKeysReplacing = 0;
};

ImportResult ImportEntries(store::CADODataBase& database, store::CADORecordset& recordset, std::string_view bytes);
ImportResult ImportFile(store::CADODataBase& database, store::CADORecordset& recordset,
                        const std::filesystem::path& path);

// What the user is told when the import has ended (after the "出错啦" box
// of a format error): "导入OK！" only when every entry of the file is in the
// database and at least one was there; then how many entries have problems
// in their contents, with the first few keys.
std::u16string ImportOutcomeText(const ImportResult& result);

}  // namespace kwo::entries
