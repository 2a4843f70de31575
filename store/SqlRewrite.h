#pragma once
// The statements of the store as an ODBC driver takes them: numbered
// markers made plain, the words some databases spell differently, and the
// table a select reads (for drivers that do not say where a column is from).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/SqlDialect.h"

namespace kwo::store {

// "?1", "?2" -> "?", with the parameter of every marker in `order` (a plain
// "?" takes the next one); text in quotes is left alone. Empty for more than
// one statement.
std::u16string MapMarkers(const std::u16string& sql, std::vector<size_t>& order);

// The few words the databases spell differently: substring() is Access's
// mid(); PostgreSQL's like tells letter cases apart, which SQLite's, SQL
// Server's and Access's do not, so " like ?" becomes " ilike ?" there.
std::u16string Respell(std::u16string sql, const SqlDialect& dialect);

// The table a plain "select ... from <name> ..." reads ("name" in double
// quotes unquoted); empty without a from.
std::u16string TableOfSelect(const std::u16string& sql);

// An insert, update or delete (a write that gives no rows), by its first word.
bool IsPlainWrite(std::u16string_view sql);

}  // namespace kwo::store
