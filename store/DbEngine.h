#pragma once
// The seam between the data-access layer and a database engine. SQLite
// (store/SqliteEngine.*) implements it; an ODBC engine can slot in beside it.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace kwo::store {

// A column value or a statement parameter.
using DbValue = std::variant<std::monostate, int64_t, double, std::u16string>;

// What a failed engine call reports; the layer turns it into its error record.
struct DbError {
  uint32_t code = 0;            // engine error code (HRESULT-like: E_POINTER for a missing object)
  std::u16string source;        // e.g. u"SQLite"
  std::u16string description;   // the engine's message
  std::u16string codeMeaning;   // the text for the code
};

class DbConnection;  // defined by the store implementation in this header

}  // namespace kwo::store
