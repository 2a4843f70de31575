#pragma once
// Temporary databases for the tests, on every engine the store serves:
// SQLite itself, SQLite through its ODBC driver, and PostgreSQL through ODBC
// (the server that tests/support/pg_cluster.sh starts; KWO_PG_CONN names it);
// and TempStore, an SQLite database in a fresh temporary folder with a bound
// recordset, as the windows hold them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "store/AdoDataBase.h"
#include "store/ShorthandTable.h"
#include "support/TempFolder.h"
#include "text/Utf.h"

namespace kwo::testing {

// "Provider=SQLite;Data Source=<folder>/<name>"
inline std::u16string ConnectionTo(const TempFolder& folder, const std::u16string& name,
                                   const std::u16string& extra = u"") {
  return u"Provider=SQLite;Data Source=" + (folder / name).u16string() + extra;
}

// "Provider=SQLite;Data Source="<file>"", the file's name quoted.
inline std::u16string ConnectionStringFor(const std::filesystem::path& file, const char16_t* extra = u"") {
  return u"Provider=SQLite;Data Source=\"" + file.u16string() + u"\"" + extra;
}

// The engines the suites run on: SQLite always; the ODBC ones where the
// test environment provides them (ctest runs the suite inside pg_cluster.sh).
inline std::vector<std::string> TestEngines() {
  std::vector<std::string> engines{"Sqlite"};
  if (std::getenv("ODBCSYSINI")) engines.push_back("OdbcSqlite");
  if (std::getenv("KWO_PG_CONN")) engines.push_back("PostgreSQL");
  return engines;
}

// A path as the host's ODBC driver sees it: under Wine, the Unix path.
inline std::u16string HostPath(const std::filesystem::path& path) {
#ifdef _WIN32
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName =
      reinterpret_cast<UnixName>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName) {
    if (char* name = unixName(path.wstring().c_str())) {
      std::u16string result = kwo::text::Utf8ToUtf16(name);
      HeapFree(GetProcessHeap(), 0, name);
      return result;
    }
  }
#endif
  return path.u16string();
}

// The connection string of an empty table kwo on `engine`.
inline std::u16string FreshDatabase(const std::string& engine, const TempFolder& folder) {
  if (engine == "Sqlite") return ConnectionTo(folder, u"kwo.db");
  if (engine == "OdbcSqlite") return u"Driver={SQLite3};Database=" + HostPath(folder / "kwo.db") + u";BigInt=1";
  const std::u16string connection = kwo::text::Utf8ToUtf16(std::getenv("KWO_PG_CONN"));
  store::CADODataBase db;
  if (db.Open(connection)) {
    store::DbError ignored;
    db.Connection()->Session()->Execute(u"drop table if exists kwo", ignored);
    db.Connection()->Session()->Execute(u"drop table if exists \"we\"\"ird\"", ignored);
    db.Connection()->Session()->Execute(u"drop table if exists nokey", ignored);
  }
  return connection;
}

// Adds a row under any id, also one that is not its key's (SaveEntry in
// store/ShorthandTable.h stores an entry under its key's id).
inline bool InsertEntry(const std::shared_ptr<store::DbConnection>& connection, const std::u16string& id,
                        const std::u16string& key, const std::u16string& content) {
  store::CADORecordset rs;
  rs.SetConnection(connection);
  if (!rs.Open(connection, u"select * from kwo where id=?1", store::kStatementDefault,
               {store::DbValue(static_cast<int64_t>(std::stoll(kwo::text::Utf16ToUtf8(id))))}))
    return false;
  rs.AddNew();
  rs.SetFieldText(store::kColumnId, id);
  rs.SetFieldText(store::kColumnKey, key);
  rs.SetFieldText(store::kColumnContent, content);
  const bool stored = rs.Update();
  rs.Close();
  return stored;
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

}  // namespace kwo::testing
