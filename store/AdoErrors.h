#pragma once
// Error codes the layer reports itself (where no engine call failed), and the
// text of the error records.
#include <cstdint>
#include <string>

#include "store/DbEngine.h"

namespace kwo::store {

constexpr uint32_t kErrorPointer = 0x80004003;          // no connection object
constexpr uint32_t kErrorFail = 0x80004005;             // e.g. an unknown provider
constexpr uint32_t kErrorNoCurrentRecord = 0x800A0BCD;  // at the end, or no rows
constexpr uint32_t kErrorItemNotFound = 0x800A0CC1;     // no field at that position
constexpr uint32_t kErrorObjectClosed = 0x800A0E78;     // the recordset is not open
constexpr uint32_t kErrorNotUpdatable = 0x800A0CB3;     // the result has no table row behind it
constexpr uint32_t kSqliteReadOnlyDbMoved = 8 | (4 << 8);  // the database file was deleted or renamed

// A code that says another process holds the database locked (SQLite's BUSY
// and LOCKED, with their extended codes): waiting longer may help.
bool IsLockedError(uint32_t code);
// A code that says the file is no database, or a damaged one (SQLite's NOTADB and CORRUPT).
bool IsNotADatabaseError(uint32_t code);

// Why a write to the database failed, in the user's words, with what to do;
// empty for a failure that says nothing more than its own description.
// `code` is SQLite's: see SqliteCode.
std::u16string WriteFailureReason(uint32_t code);
// The code of a failure on `connection` when SQLite reported it, else 0:
// the native codes of other engines mean other things.
uint32_t SqliteCode(const DbConnection* connection, uint32_t code);

DbError LayerError(uint32_t code, const std::u16string& source, const std::u16string& description);

// "<header> Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n"
std::u16string FormatErrorBlock(const std::u16string& header, const DbError& error);

}  // namespace kwo::store
