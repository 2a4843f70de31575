#pragma once
// Export: writes every entry, in id order, to an exchange file. The file is
// replaced only by a complete export (see kwo::ReplacingFile).
#include <cstddef>
#include <filesystem>
#include <string>

#include "store/AdoDataBase.h"

namespace kwo::entries {

struct ExportResult {
  enum class Status {
    Exported,
    CannotCreate,  // the file could not be created; nothing written
    QueryFailed,   // the table could not be read to its end; nothing written
    WriteFailed,   // the file could not be written completely; an existing one is unchanged
    Refused,       // written completely, but the system refused to replace the existing file
  };
  Status status = Status::Exported;
  size_t entries = 0;
  bool utf8 = false;  // some character did not fit code page 936
  // QueryFailed: why, for the user (a server that is away or busy, a damaged file).
  std::u16string reason;
};

ExportResult ExportFile(store::CADODataBase& database, store::CADORecordset& recordset,
                        const std::filesystem::path& path);

}  // namespace kwo::entries
