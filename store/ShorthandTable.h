#pragma once
// The table of shorthand entries, kwo(id, shortkey, content), its short-key
// id and the three statements the program runs on it. Keys are always bound
// as parameters, never spliced into the SQL text.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/AdoDataBase.h"

namespace kwo::store {

constexpr int kPrefixListLimit = 37;

// The columns of kwo by position, the only way the program addresses them.
enum ShorthandColumn { kColumnId = 0, kColumnKey = 1, kColumnContent = 2 };
constexpr int kMaxShortKeyLength = 6;

// Digits 0-9 count 1..10, capitals A-Z 11..36, any other character ends the
// scan; id = id * 37 + digit, modulo 2^32.
uint32_t ShortKeyId(std::u16string_view key);
std::u16string IdText(uint32_t id);  // unsigned decimal, no sign, no leading zeros

// The statements that create the table on each kind of database. id is the
// primary key and holds every id up to 2,565,726,408 (2^32 - 1 for SQLite and
// PostgreSQL; Access has no 64-bit integer before 2016, so a DOUBLE, which
// holds such whole numbers exactly).
constexpr char16_t kPostgresTable[] = u"create table kwo(id bigint primary key, shortkey text, content text)";
constexpr char16_t kSqlServerTable[] =
    u"create table kwo(id bigint primary key, shortkey nvarchar(6), content nvarchar(max))";
constexpr char16_t kAccessTable[] =
    u"create table kwo(id double constraint pk_kwo primary key, shortkey text(6), content memo)";

// Makes sure the table kwo(id, shortkey, content) can be read. SQLite and
// PostgreSQL get it created when missing; on other servers a missing table is
// an error whose description gives the statement to create it.
bool EnsureShorthandTable(DbSession& session, DbError& error);

// True for 1 to 6 digits and capitals: the keys whose ids are exact.
bool IsShortKey(std::u16string_view key);

// The ids of the keys that begin with `key` (IsShortKey): one range per key
// length, from the key's own up to six characters, ascending and disjoint.
// Keys of length n + k that begin with a key of id p have ids from
// p*37^k + lo(k) to p*37^k + hi(k), lo(k) = 1 + 37 + ... + 37^(k-1) (all
// "0"s), hi(k) = 36*lo(k) (all "Z"s).
struct IdRange {
  int64_t low = 0;
  int64_t high = 0;
};
std::vector<IdRange> KeyIdRanges(std::u16string_view key);

// The exact lookup: the row whose id is `id` (at most one).
bool OpenLookup(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, uint32_t id);
// At most 37 rows whose shortkey begins with `key`, in ascending id order;
// an empty key lists the first 37 rows. For a key of digits and capitals the
// rows are read from the id ranges that such keys occupy, so the time does
// not grow with the table.
bool OpenPrefix(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, std::u16string_view key);
// Stores `content` under `key` (1 to 6 digits and capitals): looks the key's
// id up, adds a row (id, key, content) or changes only the content of the row
// found, and updates. The recordset is closed afterwards. False, with the
// recordset's error record telling why, when nothing was stored.
bool SaveEntry(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, const std::u16string& key,
               const std::u16string& content);

// Every row in ascending id order (export).
bool OpenListing(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection);

// The key and content of every row in ascending id order, each handed to
// `entry` as it is read and kept nowhere (export). Values read as
// FieldText gives them: NULL as an empty text, numbers in decimal. False,
// with the error, when the table could not be read to its end.
bool ReadEntries(const std::shared_ptr<DbConnection>& connection,
                 const std::function<void(const std::u16string& key, const std::u16string& content)>& entry,
                 DbError& error);

}  // namespace kwo::store
