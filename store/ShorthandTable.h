#pragma once
// The table of shorthand entries, kwo(id, shortkey, content), its short-key
// id and the three statements the program runs on it. Keys are always bound
// as parameters, never spliced into the SQL text.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "store/AdoDataBase.h"

namespace kwo::store {

constexpr int kPrefixListLimit = 37;
constexpr int kMaxShortKeyLength = 6;

// Digits 0-9 count 1..10, capitals A-Z 11..36, any other character ends the
// scan; id = id * 37 + digit, modulo 2^32.
uint32_t ShortKeyId(std::u16string_view key);
std::u16string IdText(uint32_t id);  // unsigned decimal, no sign, no leading zeros

// Creates the table kwo(id, shortkey, content) when the database lacks it.
// id is the table's integer primary key, which holds every id up to 2^32 - 1.
bool EnsureShorthandTable(DbSession& session, DbError& error);

// True for 1 to 6 digits and capitals: the keys whose ids are exact.
bool IsShortKey(std::u16string_view key);

// The exact lookup: the row whose id is `id` (at most one).
bool OpenLookup(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, uint32_t id);
// At most 37 rows whose shortkey begins with `key`, in ascending id order;
// an empty key lists the first 37 rows. For a key of digits and capitals the
// rows are read from the id ranges that such keys occupy, so the time does
// not grow with the table.
bool OpenPrefix(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, std::u16string_view key);
// Every row in ascending id order (export).
bool OpenListing(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection);

}  // namespace kwo::store
