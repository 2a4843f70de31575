#include "store/ShorthandTable.h"

#include <cstdio>
#include <vector>

#include "store/AdoErrors.h"
#include "store/SqlDialect.h"
#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

// Plain SQL that SQLite, PostgreSQL, SQL Server and (with mid for
// substring, which the ODBC engine puts in) Access all run: parameters only,
// no TOP or LIMIT; the listing's 37 rows are taken by stopping the fetch.
constexpr char16_t kLookupQuery[] = u"select * from kwo where id=?1";
constexpr char16_t kListingQuery[] = u"select * from kwo order by id";
constexpr char16_t kEntriesQuery[] = u"select shortkey, content from kwo order by id";
// ?1 the key, ?2 its length in characters.
constexpr char16_t kPrefixScanQuery[] = u"select * from kwo where substring(shortkey,1,?2)=?1 order by id";

// The ranges of KeyIdRanges, one per key length, padded with empty ones to
// seven, and each is read in rowid order. SQLite merges the ordered
// parts of a compound select lazily, so the limit stops the reading after 37
// rows (plus at most one row looked ahead per range), however large the
// table; a server is asked for no more than 37 rows.
std::u16string BuildPrefixRangeQuery() {
  std::u16string sql;
  for (int k = 0; k <= kMaxShortKeyLength; ++k) {
    if (k > 0) sql += u" union all ";
    const std::u16string low = text::FormatDecimal(3 + 2 * k);
    const std::u16string high = text::FormatDecimal(4 + 2 * k);
    sql += u"select * from kwo where id between ?" + low + u" and ?" + high + u" and substring(shortkey,1,?2)=?1";
  }
  return sql + u" order by id";
}

// A column's value as text, moved out of the field where it is one.
void TakeText(DbField&& field, std::u16string& text) {
  switch (field.type) {
    case DbType::Text: text = std::move(std::get<std::u16string>(field.value)); return;
    case DbType::Integer: text = text::FormatDecimal(std::get<int64_t>(field.value)); return;
    case DbType::Real: {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%.20g", std::get<double>(field.value));
      text = text::Ascii(buffer);
      return;
    }
    default: text.clear(); return;
  }
}

const std::u16string& PrefixRangeQuery() {
  static const std::u16string query = BuildPrefixRangeQuery();
  return query;
}

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - 47;
  if (c >= u'A' && c <= u'Z') return c - 54;
  return 0;
}

}  // namespace

uint32_t ShortKeyId(std::u16string_view key) {
  uint32_t id = 0;
  for (char16_t c : key) {
    const int digit = DigitValue(c);
    if (digit == 0) break;
    id = id * 37u + static_cast<uint32_t>(digit);
  }
  return id;
}

std::u16string IdText(uint32_t id) { return text::FormatDecimal(id); }

bool IsShortKey(std::u16string_view key) {
  if (key.empty() || key.size() > static_cast<size_t>(kMaxShortKeyLength)) return false;
  for (char16_t c : key) {
    if (DigitValue(c) == 0) return false;
  }
  return true;
}

std::vector<IdRange> KeyIdRanges(std::u16string_view key) {
  std::vector<IdRange> ranges;
  const int64_t id = static_cast<int64_t>(ShortKeyId(key));
  int64_t scale = 1;  // 37^k
  int64_t low = 0;    // lo(k)
  for (size_t k = 0; key.size() + k <= static_cast<size_t>(kMaxShortKeyLength); ++k) {
    ranges.push_back(IdRange{id * scale + low, id * scale + 36 * low});
    low += scale;
    scale *= 37;
  }
  return ranges;
}

bool EnsureShorthandTable(DbSession& session, DbError& error) {
  const SqlProduct product = DialectFor(session.Dbms()).product;
  if (product == SqlProduct::Sqlite) {
    return session.Execute(u"create table if not exists kwo(id INTEGER PRIMARY KEY, shortkey TEXT, content TEXT)",
                           error);
  }
  std::unique_ptr<DbStatement> probe = session.Prepare(kLookupQuery, error);
  if (probe && probe->Bind({DbValue(int64_t{0})}, error) && probe->Step(error) != DbStep::Failed) {
    probe->Reset();
    return true;
  }
  if (error.state.compare(0, 2, u"08") == 0) return false;  // the server went away
  if (product == SqlProduct::PostgreSql && error.state == u"42P01") {
    return session.Execute(kPostgresTable, error);
  }
  error.description = u"数据库里没有可用的速记表 kwo（" + error.description + u"）。请先建表：\n" +
                      (product == SqlProduct::Access ? std::u16string(kAccessTable) : std::u16string(kSqlServerTable));
  return false;
}

bool OpenLookup(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, uint32_t id) {
  rs.SetMaxRecords(0);
  return rs.Open(connection, kLookupQuery, kStatementDefault, {DbValue(static_cast<int64_t>(id))});
}

bool OpenPrefix(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, std::u16string_view key) {
  rs.SetMaxRecords(kPrefixListLimit);
  std::vector<DbValue> parameters{DbValue(std::u16string(key)),
                                  DbValue(static_cast<int64_t>(text::CodePointCount(key)))};
  if (!IsShortKey(key)) return rs.Open(connection, kPrefixScanQuery, kStatementDefault, std::move(parameters));

  const std::vector<IdRange> ranges = KeyIdRanges(key);
  for (const IdRange& range : ranges) {
    parameters.emplace_back(range.low);
    parameters.emplace_back(range.high);
  }
  // Empty ranges keep the statement the same for every key length.
  for (size_t k = ranges.size(); k <= static_cast<size_t>(kMaxShortKeyLength); ++k) {
    parameters.emplace_back(int64_t{1});
    parameters.emplace_back(int64_t{0});
  }
  return rs.Open(connection, PrefixRangeQuery(), kStatementDefault, std::move(parameters));
}

bool SaveEntry(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection, const std::u16string& key,
               const std::u16string& content) {
  const uint32_t id = ShortKeyId(key);
  if (!OpenLookup(rs, connection, id)) return false;
  bool ok = true;
  if (rs.AtEnd()) {
    ok = rs.AddNew() && rs.SetFieldText(kColumnId, IdText(id)) && rs.SetFieldText(kColumnKey, key);
  } else {
    rs.BeginEdit();
  }
  ok = ok && rs.SetFieldText(kColumnContent, content) && rs.Update();
  rs.Close();
  return ok;
}

bool OpenListing(CADORecordset& rs, const std::shared_ptr<DbConnection>& connection) {
  rs.SetMaxRecords(0);
  return rs.Open(connection, kListingQuery, kStatementDefault);
}

}  // namespace kwo::store

namespace kwo::store {

bool ReadEntries(const std::shared_ptr<DbConnection>& connection,
                 const std::function<void(const std::u16string& key, const std::u16string& content)>& entry,
                 DbError& error) {
  DbSession* session = connection ? connection->Session() : nullptr;
  if (!session) {
    error = LayerError(kErrorObjectClosed, u"ReadEntries", u"The database is not open");
    return false;
  }
  std::unique_ptr<DbStatement> statement = session->Prepare(kEntriesQuery, error);
  if (!statement || !statement->Bind({}, error)) return false;
  std::u16string key, content;
  for (;;) {
    const DbStep step = statement->Step(error);
    if (step != DbStep::Row) {
      statement->Reset();
      return step == DbStep::Done;
    }
    TakeText(statement->TakeColumn(0), key);
    TakeText(statement->TakeColumn(1), content);
    entry(key, content);
  }
}

}  // namespace kwo::store
