#include "store/SqlDialect.h"

#include "text/Chars.h"

namespace kwo::store {

SqlDialect DialectFor(std::u16string_view productName) {
  SqlDialect dialect;
  if (text::EqualNoCase(productName, u"SQLite")) {
    dialect.product = SqlProduct::Sqlite;
    dialect.reusesStatements = false;
    dialect.failuresAsSqliteCodes = true;
  } else if (text::EqualNoCase(productName, u"PostgreSQL")) {
    dialect.product = SqlProduct::PostgreSql;
    dialect.caseBlindLikeIsIlike = true;
    dialect.driverBuffersResults = true;
    dialect.arrayParameters = true;
  } else if (text::EqualNoCase(productName, u"Microsoft SQL Server")) {
    dialect.product = SqlProduct::SqlServer;
  } else if (text::EqualNoCase(productName, u"ACCESS")) {
    dialect.product = SqlProduct::Access;
    dialect.substringIsMid = true;
    dialect.bigIntegersAsDouble = true;
  }
  return dialect;
}

}  // namespace kwo::store
