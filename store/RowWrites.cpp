#include "store/RowWrites.h"

#include "text/Chars.h"

namespace kwo::store {
std::u16string QuoteName(const std::u16string& name) {
  // Plain lower-case names stay bare: every database reads them alike, and
  // Access takes a double-quoted name for a text.
  bool plain = !name.empty() && !(name[0] >= u'0' && name[0] <= u'9');
  for (char16_t c : name) plain = plain && ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_');
  static const char16_t* const kReserved[] = {u"select", u"from", u"where", u"order", u"group", u"by", u"table",
                                              u"user", u"key", u"index", u"values", u"value", u"insert", u"update",
                                              u"delete", u"and", u"or", u"not", u"null", u"is", u"in", u"as", u"on",
                                              u"date", u"time", u"text", u"level", u"desc", u"asc", u"password"};
  for (const char16_t* word : kReserved) plain = plain && name != word;
  if (plain) return name;
  std::u16string quoted = u"\"";
  for (char16_t c : name) {
    quoted += c;
    if (c == u'"') quoted += u'"';
  }
  return quoted + u"\"";
}

DbValue ParameterFor(const DbColumnOrigin& origin, const DbValue& value) {
  const auto* textValue = std::get_if<std::u16string>(&value);
  if (!textValue || origin.type != DbType::Integer || textValue->empty() || textValue->size() > 18) return value;
  int64_t number = 0;
  for (size_t i = (*textValue)[0] == u'-' ? 1 : 0; i < textValue->size(); ++i) {
    const char16_t c = (*textValue)[i];
    if (c < u'0' || c > u'9') return value;
    number = number * 10 + (c - u'0');
  }
  if ((*textValue)[0] == u'-') {
    if (textValue->size() == 1) return value;
    number = -number;
  }
  return DbValue(number);
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
    if (row[i].type == DbType::Null) {
      where += QuoteName(origins[i].column) + u" is null";
      continue;
    }
    parameters.push_back(ParameterFor(origins[i], row[i].value));
    where += QuoteName(origins[i].column) + u"=" + Parameter(parameters.size());
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
    write.parameters.push_back(ParameterFor(origins[c], *fields[c]));
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
    write.parameters.push_back(ParameterFor(origins[c], *fields[c]));
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
