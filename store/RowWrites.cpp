#include "store/RowWrites.h"

#include "text/Chars.h"

namespace kwo::store {
std::u16string QuoteName(const std::u16string& name) {
  std::u16string quoted = u"\"";
  for (char16_t c : name) {
    quoted += c;
    if (c == u'"') quoted += u'"';
  }
  return quoted + u"\"";
}

namespace {

std::u16string Parameter(size_t number) {
  std::u16string parameter = u"?";
  parameter += text::FormatDecimal(static_cast<int64_t>(number));
  return parameter;
}

std::vector<size_t> SetColumns(const PendingFields& fields) {
  std::vector<size_t> columns;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i]) columns.push_back(i);
  }
  return columns;
}

// The one table that the given result columns come from, or empty.
std::u16string TableOf(const std::vector<DbColumnOrigin>& origins, const std::vector<size_t>& columns) {
  std::u16string table;
  for (size_t c : columns) {
    if (c >= origins.size() || origins[c].table.empty()) return {};
    if (table.empty()) table = origins[c].table;
    else if (origins[c].table != table) return {};
  }
  return table;
}

// " where ..." finding the row of `table`; appends its parameters.
std::u16string RowCriteria(const std::vector<DbColumnOrigin>& origins, const std::vector<DbField>& row,
                           const std::u16string& table, std::vector<DbValue>& parameters) {
  bool haveKey = false;
  for (const DbColumnOrigin& o : origins) haveKey = haveKey || (o.table == table && o.primaryKey);
  std::u16string where;
  for (size_t i = 0; i < origins.size() && i < row.size(); ++i) {
    if (origins[i].table != table || (haveKey && !origins[i].primaryKey)) continue;
    where += where.empty() ? u" where " : u" and ";
    parameters.push_back(row[i].value);
    where += QuoteName(origins[i].column) + u" is " + Parameter(parameters.size());
  }
  return where;
}

}  // namespace

bool InsertStatement(const std::vector<DbColumnOrigin>& origins, const PendingFields& fields, RowWrite& write) {
  const std::vector<size_t> columns = SetColumns(fields);
  const std::u16string table =
      columns.empty() ? (origins.empty() ? std::u16string() : origins[0].table) : TableOf(origins, columns);
  if (table.empty()) return false;
  write = RowWrite{u"insert into " + QuoteName(table), {}};
  if (columns.empty()) {
    write.sql += u" default values";
    return true;
  }
  std::u16string names, values;
  for (size_t c : columns) {
    if (!names.empty()) {
      names += u",";
      values += u",";
    }
    write.parameters.push_back(*fields[c]);
    names += QuoteName(origins[c].column);
    values += Parameter(write.parameters.size());
  }
  write.sql += u"(" + names + u") values(" + values + u")";
  return true;
}

bool UpdateStatement(const std::vector<DbColumnOrigin>& origins, const PendingFields& fields,
                     const std::vector<DbField>& row, RowWrite& write) {
  const std::vector<size_t> columns = SetColumns(fields);
  const std::u16string table = TableOf(origins, columns);
  if (table.empty()) return false;
  write = RowWrite{u"update " + QuoteName(table) + u" set ", {}};
  for (size_t c : columns) {
    if (!write.parameters.empty()) write.sql += u",";
    write.parameters.push_back(*fields[c]);
    write.sql += QuoteName(origins[c].column) + u"=" + Parameter(write.parameters.size());
  }
  write.sql += RowCriteria(origins, row, table, write.parameters);
  return true;
}

bool DeleteStatement(const std::vector<DbColumnOrigin>& origins, const std::vector<DbField>& row, RowWrite& write) {
  const std::u16string table = origins.empty() ? std::u16string() : origins[0].table;
  if (table.empty()) return false;
  write = RowWrite{u"delete from " + QuoteName(table), {}};
  write.sql += RowCriteria(origins, row, table, write.parameters);
  return true;
}

}  // namespace kwo::store
