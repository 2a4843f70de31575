#pragma once
// Import: stores the entries of an exchange file. An entry whose key exists
// gets its content replaced; a new key gets a new row. The whole import runs
// in one transaction, committed at the end and after a format error too, so
// the entries before the error are kept.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/AdoDataBase.h"

namespace kwo::entries {

struct ImportResult {
  enum class Status {
    Imported,     // the whole file was read
    FormatError,  // stopped at a malformed entry; `errorMessage` tells which
    CannotOpen,   // the file could not be read; nothing changed
    NotSaved,     // the database refused to commit; nothing changed
  };
  Status status = Status::Imported;
  std::u16string errorMessage;
  size_t stored = 0;
  size_t skipped = 0;  // lookup or write refused by the database
  // Keys of the stored entries whose content the interpreter would not read
  // as it seems meant (see keys/SequenceCheck.h), in file order.
  std::vector<std::u16string> warnedKeys;
};

// The notice after an import: "导入OK！", and how many entries have problems
// in their contents, with the first few keys.
std::u16string ImportNotice(const ImportResult& result);

ImportResult ImportEntries(store::CADODataBase& database, store::CADORecordset& recordset, std::string_view bytes);
ImportResult ImportFile(store::CADODataBase& database, store::CADORecordset& recordset,
                        const std::filesystem::path& path);

}  // namespace kwo::entries
