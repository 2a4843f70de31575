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

// Why a write to the database failed, in the user's words, with what to do;
// empty for a failure that says nothing more than its own description.
std::u16string WriteFailureReason(DbFailure failure);

// The detail line of a failure for the user: the reason in Chinese, then the
// engine's own words in brackets ("文件不是数据库，或已损坏（file is not a
// database）"); the engine's words alone when there is nothing more to say.
std::u16string FailureDetail(DbFailure failure, const std::u16string& description);

DbError LayerError(uint32_t code, const std::u16string& source, const std::u16string& description);

// "<header> Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n"
std::u16string FormatErrorBlock(const std::u16string& header, const DbError& error);

}  // namespace kwo::store
