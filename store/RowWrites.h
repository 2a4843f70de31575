#pragma once
// The statements that store a new, changed or deleted row of a result in the
// table its columns come from. A changed or deleted row is found by the
// table's primary-key columns in the result, or by all of its columns when
// the result lacks the key. Names are quoted, values are parameters.
#include <optional>
#include <string>
#include <vector>

#include "store/DbEngine.h"

namespace kwo::store {

struct RowWrite {
  std::u16string sql;
  std::vector<DbValue> parameters;
};

// A table or column name as an SQL identifier: bare when it is plain lower
// case, else in double quotes, inner quotes doubled.
std::u16string QuoteName(const std::u16string& name);

// A field text for an integer column as a number (a server may not compare
// a text with a number); any other value as it is.
DbValue ParameterFor(const DbColumnOrigin& origin, const DbValue& value);

// Field texts by column position; unset fields are not written.
using PendingFields = std::vector<std::optional<std::u16string>>;

// Each returns false when the columns do not come from one table.
bool InsertStatement(const std::vector<DbColumnOrigin>& origins, const PendingFields& fields, RowWrite& write);
bool UpdateStatement(const std::vector<DbColumnOrigin>& origins, const PendingFields& fields,
                     const std::vector<DbField>& row, RowWrite& write);
bool DeleteStatement(const std::vector<DbColumnOrigin>& origins, const std::vector<DbField>& row, RowWrite& write);

}  // namespace kwo::store
