#pragma once
// The connection string: "Key=Value" pairs separated by ";", keys matched
// without regard to case, white space around keys and values ignored. A value
// may be enclosed in double quotes to hold ";" (a doubled quote inside stands
// for one), or in braces as ODBC writes it ("{a;b}", "}}" for one brace).
//
// Three kinds of string are understood:
//  - SQLite, the default:  Provider=SQLite;Data Source=kwo.db[;Busy Timeout=ms]
//      Data Source, a file, relative paths taken from the current directory,
//      created with its table when missing; Busy Timeout, milliseconds to wait
//      for another process's lock (default 5000).
//  - ODBC, any string with Driver= or DSN= (or FileDSN=): handed to the ODBC
//      driver manager as it stands; Provider=MSDASQL, if present, is dropped.
//  - OLE DB strings of the Access and SQL Server providers, translated to the
//      ODBC driver that serves the same database:
//      Microsoft.Jet.OLEDB.4.0, Microsoft.ACE.OLEDB.12.0 and later
//        -> Driver={Microsoft Access Driver (*.mdb, *.accdb)};Dbq=<file>[;Pwd=...]
//      SQLOLEDB, MSOLEDBSQL, SQLNCLI*
//        -> Driver={ODBC Driver 18 for SQL Server} (or 17, or "SQL Server",
//           whichever is installed);Server;Database;Trusted_Connection|Uid,Pwd
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kwo::store {

constexpr int kDefaultBusyTimeoutMs = 5000;

enum class Engine { Sqlite, Odbc };

struct ConnectionSettings {
  Engine engine = Engine::Sqlite;
  std::u16string provider;
  std::u16string dataSource;  // SQLite: the database file
  int busyTimeoutMs = kDefaultBusyTimeoutMs;
  // ODBC: the string for SQLDriverConnect. When driverChoices is not empty,
  // "Driver={<first installed choice>};" goes in front of it.
  std::u16string odbcString;
  std::vector<std::u16string> driverChoices;
};

// False with a message (in Chinese, passwords masked) naming the fault when
// the string is malformed, names an unknown key or provider, or lacks a
// required key.
bool ParseConnectionString(std::u16string_view text, ConnectionSettings& settings, std::u16string& message);

// The first of `choices` that `installed` holds (compared without regard to
// case), or empty.
std::u16string ChooseDriver(const std::vector<std::u16string>& choices,
                            const std::vector<std::u16string>& installed);

// Where to get a driver that is not installed, for the start-up message.
std::u16string DriverDownloadHint(std::u16string_view driver);

// The text with the values of every key that carries a secret (Pwd,
// Password, "Jet OLEDB:Database Password", "Jet OLEDB:New Database Password",
// any key holding "password" or "pwd" in any case and spacing) replaced by
// "******": the only form of a connection string that may be shown or
// written anywhere.
std::u16string MaskPasswords(std::u16string_view text);

// `message` (a driver's error text, say) with every password value of
// `connectionString` in it replaced by "******": drivers may echo the string
// they were given.
std::u16string HideSecrets(std::u16string_view message, std::u16string_view connectionString);

// The value of `key` in a connection string (read leniently), or empty.
std::u16string ConnectionValue(std::u16string_view text, std::u16string_view key);

// kwo.db in the current directory, which start-up makes the program's folder.
std::u16string DefaultConnectionString();

}  // namespace kwo::store
