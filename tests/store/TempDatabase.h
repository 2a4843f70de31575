#pragma once
// Temporary databases for the store tests.
#include <memory>
#include <string>

#include "store/AdoDataBase.h"
#include "support/TempFolder.h"

namespace kwo::store::testing {

using kwo::testing::TempFolder;

// "Provider=SQLite;Data Source=<folder>/<name>"
inline std::u16string ConnectionTo(const TempFolder& folder, const std::u16string& name,
                                   const std::u16string& extra = u"") {
  return u"Provider=SQLite;Data Source=" + (folder / name).u16string() + extra;
}

// Stores one entry the way the edit dialog does for a new key.
inline bool InsertEntry(const std::shared_ptr<DbConnection>& connection, const std::u16string& id,
                        const std::u16string& key, const std::u16string& content) {
  CADORecordset rs;
  rs.SetConnection(connection);
  if (!rs.Open(connection, u"select * from kwo where id=?1", kStatementDefault, {DbValue(std::u16string(id))}))
    return false;
  rs.AddNew();
  rs.SetFieldText(0, id);
  rs.SetFieldText(1, key);
  rs.SetFieldText(2, content);
  const bool stored = rs.Update();
  rs.Close();
  return stored;
}

}  // namespace kwo::store::testing
