#pragma once
// What the SQL of one database product needs from the engine, decided once
// per connection from the product name the driver reports (SQL_DBMS_NAME, or
// "SQLite" for the built-in engine). The engine and the writers above it ask
// these fields instead of comparing product names statement by statement.
#include <string_view>

namespace kwo::store {

enum class SqlProduct { Other, Sqlite, PostgreSql, SqlServer, Access };

struct SqlDialect {
  SqlProduct product = SqlProduct::Other;
  // like tells letter cases apart: " like ?" is written " ilike ?".
  bool caseBlindLikeIsIlike = false;
  // substring( is spelt mid(.
  bool substringIsMid = false;
  // The driver takes in a whole result before the first row: a bounded read
  // gets "limit ?" markers (store/BoundedSelect.h), and a whole result is read
  // through bound column buffers.
  bool driverBuffersResults = false;
  // A prepared statement may be run again (the SQLite driver returns rows of
  // an earlier run from a statement run again).
  bool reusesStatements = true;
  // No 64-bit integer parameters: larger integers go as DOUBLE.
  bool bigIntegersAsDouble = false;
  // Failures come as HY000 with SQLite's own code.
  bool failuresAsSqliteCodes = false;
  // Arrays from text parameters ("?::bigint[]", unnest) and "with ... update
  // ... returning": many rows are written with three parameters.
  bool arrayParameters = false;
};

SqlDialect DialectFor(std::u16string_view productName);

}  // namespace kwo::store
