#pragma once
// Temporary databases for the store tests, on every engine the store serves:
// SQLite itself, SQLite through its ODBC driver, and PostgreSQL through ODBC
// (the server that tests/support/pg_cluster.sh starts; KWO_PG_CONN names it).
#include <cstdlib>
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

namespace kwo::store::testing {

using kwo::testing::TempFolder;

// "Provider=SQLite;Data Source=<folder>/<name>"
inline std::u16string ConnectionTo(const TempFolder& folder, const std::u16string& name,
                                   const std::u16string& extra = u"") {
  return u"Provider=SQLite;Data Source=" + (folder / name).u16string() + extra;
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
  CADODataBase db;
  if (db.Open(connection)) {
    DbError ignored;
    db.Connection()->Session()->Execute(u"drop table if exists kwo", ignored);
    db.Connection()->Session()->Execute(u"drop table if exists \"we\"\"ird\"", ignored);
    db.Connection()->Session()->Execute(u"drop table if exists nokey", ignored);
  }
  return connection;
}

// Adds a row under any id, also one that is not its key's (SaveEntry in
// store/ShorthandTable.h stores an entry under its key's id).
inline bool InsertEntry(const std::shared_ptr<DbConnection>& connection, const std::u16string& id,
                        const std::u16string& key, const std::u16string& content) {
  CADORecordset rs;
  rs.SetConnection(connection);
  if (!rs.Open(connection, u"select * from kwo where id=?1", kStatementDefault,
               {DbValue(static_cast<int64_t>(std::stoll(kwo::text::Utf16ToUtf8(id))))}))
    return false;
  rs.AddNew();
  rs.SetFieldText(kColumnId, id);
  rs.SetFieldText(kColumnKey, key);
  rs.SetFieldText(kColumnContent, content);
  const bool stored = rs.Update();
  rs.Close();
  return stored;
}

}  // namespace kwo::store::testing
