#pragma once
// The seam between the data-access layer and a database engine. SQLite
// (store/SqliteEngine.*) and ODBC (store/OdbcEngine.*) implement it.
//
// DbConnection is the one object the layer shares between the database and
// its recordsets. It stays the same object across Close and Open, as the
// recordsets bound to it expect, and forwards to the engine session that the
// connection string's provider selects (store/ConnectionString.h).
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace kwo::store {

// A column value or a statement parameter.
using DbValue = std::variant<std::monostate, int64_t, double, std::u16string>;

// Why the database refused a call, in terms every engine maps its own codes to.
enum class DbFailure {
  Other,        // nothing more to say than the engine's own description
  Locked,       // another program holds the data: waiting may help
  ReadOnly,     // the database file, or the folder it is in, cannot be written
  WriteDenied,  // the server takes no writes from this login (read-only database or no right to)
  DiskFull,
  FileMoved,    // the database file was deleted or renamed while open
  IoError,      // the file could not be read or written
  Damaged,      // the file is no database, or a damaged one
  Unreachable,  // the server cannot be reached, or the link to it broke
  LoginRefused,     // the server refused the user name or the password
  DatabaseMissing,  // the server has no database of that name
};

// A refused login or a missing database: waiting does not help, and logging
// in again and again may lock the account.
inline bool IsRefusal(DbFailure failure) {
  return failure == DbFailure::LoginRefused || failure == DbFailure::DatabaseMissing;
}

// What a failed engine call reports; the layer turns it into its error record.
struct DbError {
  uint32_t code = 0;            // engine error code (HRESULT-like: E_POINTER for a missing object)
  std::u16string source;        // e.g. u"SQLite"
  std::u16string description;   // the engine's message
  std::u16string codeMeaning;   // the text for the code
  std::u16string state;         // the SQLSTATE class of the failure, e.g. u"23000" for a duplicate key
  DbFailure failure = DbFailure::Other;  // set by the engine that failed
};

// A duplicate key: SQLSTATE 23000 (ODBC, SQLite) or 23505 (PostgreSQL).
inline bool IsDuplicateKey(const std::u16string& state) { return state == u"23000" || state == u"23505"; }

// The storage class of a column value. A BLOB has no text form; its value is empty.
enum class DbType { Null, Integer, Real, Text, Blob };

struct DbField {
  DbType type = DbType::Null;
  DbValue value;
};

// Where a result column comes from, when it is a plain column of a table.
struct DbColumnOrigin {
  std::u16string table;   // empty for an expression
  std::u16string column;
  bool primaryKey = false;
  DbType type = DbType::Null;   // the column's declared kind; Null when unknown
  bool narrowInteger = false;   // a 32-bit integer column (an Access Long): no value above 2,147,483,647
};

enum class DbStep { Row, Done, Failed };

// One prepared statement. Parameters are bound by position (?1, ?2, ...).
class DbStatement {
 public:
  virtual ~DbStatement() = default;
  // Resets the statement and binds the parameters; false when the statement has fewer.
  virtual bool Bind(const std::vector<DbValue>& parameters, DbError& error) = 0;
  virtual DbStep Step(DbError& error) = 0;
  // Ends the current run: releases the engine's read locks; Bind starts the next run.
  virtual void Reset() = 0;
  virtual int ColumnCount() const = 0;
  virtual DbField Column(int index) const = 0;  // of the row the last Step produced
  // The same value for a caller that reads each column of the row once: an
  // engine that holds the row may hand its value over instead of copying it.
  virtual DbField TakeColumn(int index) { return Column(index); }
  virtual DbColumnOrigin Origin(int index) const = 0;
  // The caller reads at most this many rows: an engine may ask the server
  // for no more. Set before Bind; 0 for no limit.
  virtual void LimitRows(int rows) { (void)rows; }
  // A bulk write that may run long on a busy server: it gets no search's time limit.
  virtual void AllowLongRun() {}
};

// One open session of an engine.
class DbSession {
 public:
  virtual ~DbSession() = default;
  // Prepared statements may come from a cache; each one returned is the
  // caller's alone until destroyed, so two recordsets never share one.
  virtual std::unique_ptr<DbStatement> Prepare(const std::u16string& sql, DbError& error) = 0;
  virtual bool Execute(const std::u16string& sql, DbError& error) = 0;
  virtual bool BeginTransaction(DbError& error) = 0;
  virtual bool CommitTransaction(DbError& error) = 0;
  virtual bool RollbackTransaction(DbError& error) = 0;
  virtual int64_t ChangedRows() const = 0;    // by the last insert, update or delete
  // A database file of this program's own, to which it may add what it
  // needs (a search index); false for a server or a shared schema.
  virtual bool IsOwnDatabase() const { return false; }
  // The database product, as the engine names it: "SQLite", "PostgreSQL",
  // "Microsoft SQL Server", "ACCESS", ...
  virtual std::u16string Dbms() const = 0;
  // True while a database server cannot be reached; the session tries to
  // connect again at the next statement.
  virtual bool ServerAway() const { return false; }
  // The server refused the login (or has no such database): the session does
  // not log in again until RetryLogin.
  virtual DbFailure Refusal() const { return DbFailure::Other; }
  virtual void RetryLogin() {}
  // The next statement connects at once, even within the pause that follows
  // a failed connect: for a call the user asked for again (a save's second
  // lookup), which must not be refused for a server that is back by now.
  virtual void SkipRetryPause() {}
  // How long a statement waits for another process's lock before it fails.
  virtual void SetBusyTimeout(int milliseconds) = 0;
};

// What opening an SQLite file that is not there does: make it anew, empty
// (the program's own store at start), or fail (a second connection to a
// file that must already be there). Servers are not concerned.
enum class MissingFile { Create, Fail };

class DbConnection {
 public:
  DbConnection() = default;
  DbConnection(const DbConnection&) = delete;
  DbConnection& operator=(const DbConnection&) = delete;

  // Parses the connection string, opens the engine it names and makes sure
  // the shorthand table exists. Closes a session that is open. Every caller
  // says what a missing SQLite file means for it.
  bool Open(const std::u16string& connectionString, MissingFile missing, DbError& error);
  void Close();
  bool IsOpen() const { return session_ != nullptr; }
  bool ServerAway() const { return session_ && session_->ServerAway(); }
  DbFailure Refusal() const { return session_ ? session_->Refusal() : DbFailure::Other; }
  // Changes at every Open and Close: a result opened earlier is no longer valid.
  uint64_t Generation() const { return generation_; }
  // The open session, or nullptr.
  DbSession* Session() const { return session_.get(); }
  // The wait for another process's lock that the connection string set.
  int BusyTimeout() const { return busyTimeoutMs_; }

 private:
  std::unique_ptr<DbSession> session_;
  uint64_t generation_ = 0;
  int busyTimeoutMs_ = 0;
};

// While it lives, statements on the connection wait at most `milliseconds`
// (never longer than the connection's own wait) for another process's lock:
// for reads that must not freeze a window. The connection's wait comes back
// at its end.
class ScopedBusyTimeout {
 public:
  ScopedBusyTimeout(const std::shared_ptr<DbConnection>& connection, int milliseconds);
  ~ScopedBusyTimeout();
  ScopedBusyTimeout(const ScopedBusyTimeout&) = delete;
  ScopedBusyTimeout& operator=(const ScopedBusyTimeout&) = delete;

 private:
  std::shared_ptr<DbConnection> connection_;
  DbSession* session_ = nullptr;
};

}  // namespace kwo::store
