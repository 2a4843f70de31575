#pragma once
// A real SQLite database in a fresh temporary folder, removed afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "store/AdoDataBase.h"
#include "store/ShorthandTable.h"
#include "support/TempFolder.h"

namespace kwo::entries::testing {

using kwo::testing::TempFolder;

inline std::u16string ConnectionStringFor(const std::filesystem::path& file, const char16_t* extra = u"") {
  return u"Provider=SQLite;Data Source=\"" + file.u16string() + u"\"" + extra;
}

// One database with a bound recordset, the way the main dialog holds them.
struct TempStore {
  TempFolder folder;
  std::filesystem::path file = folder.path() / "kwo.db";
  store::CADODataBase database;
  store::CADORecordset recordset;

  explicit TempStore(const char16_t* extra = u"") {
    EXPECT_TRUE(database.Open(ConnectionStringFor(file, extra)));
    recordset.SetConnection(database.Connection());
  }

  // Inserts or replaces an entry through the store, as the edit dialog saves.
  void Put(const std::u16string& key, const std::u16string& content) {
    store::CADORecordset rs;
    ASSERT_TRUE(store::SaveEntry(rs, database.Connection(), key, content));
  }

  struct Row {
    std::u16string id, content;
    bool operator==(const Row& o) const { return id == o.id && content == o.content; }
  };
  // Every row by key, read through the listing.
  std::map<std::u16string, Row> Rows() {
    std::map<std::u16string, Row> rows;
    store::CADORecordset rs;
    EXPECT_TRUE(store::OpenListing(rs, database.Connection()));
    while (!rs.AtEnd()) {
      std::u16string id, key, content;
      rs.FieldText(0, id);
      rs.FieldText(1, key);
      rs.FieldText(2, content);
      rows[key] = Row{id, content};
      rs.MoveNext();
    }
    return rows;
  }
};

}  // namespace kwo::entries::testing
