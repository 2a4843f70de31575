#include "store/SqliteEngine.h"

#include <sqlite3.h>

#include <filesystem>
#include <string_view>
#include <map>
#include <string>
#include <utility>

#include "store/AdoErrors.h"
#include "store/ContentSearch.h"
#include "text/Utf.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kwo::store {
namespace {

std::u16string FromUtf8(const char* text) { return text ? text::Utf8ToUtf16(text) : std::u16string(); }

DbError MakeError(int code, sqlite3* db) {
  DbError error;
  error.code = static_cast<uint32_t>(code);
  error.source = u"SQLite";
  error.codeMeaning = FromUtf8(sqlite3_errstr(code));
  error.description = db ? FromUtf8(sqlite3_errmsg(db)) : error.codeMeaning;
  if (code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT_UNIQUE) error.state = u"23000";
  error.failure = SqliteFailure(static_cast<uint32_t>(code));
  return error;
}

DbError ErrorOf(sqlite3* db) { return MakeError(sqlite3_extended_errcode(db), db); }

// True when the database file is no longer at its path: deleted or renamed
// while open. SQLite would go on writing into the file that nobody will open
// again, and the writes would be lost.
#ifdef _WIN32
// SQLite's Windows file layer does not check this itself (Wine lets a Linux
// program delete or rename the open file): the file at the path must be the
// very file that is open.
bool FileHasMoved(sqlite3* db) {
  HANDLE open = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_WIN32_GET_HANDLE, &open) != SQLITE_OK || open == nullptr ||
      open == INVALID_HANDLE_VALUE) {
    return false;
  }
  const char* name = sqlite3_db_filename(db, "main");
  if (name == nullptr || *name == '\0') return false;  // an in-memory database
  const std::u16string path = text::Utf8ToUtf16(name);
  HANDLE atPath = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  if (atPath == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  BY_HANDLE_FILE_INFORMATION mine = {};
  BY_HANDLE_FILE_INFORMATION there = {};
  const bool known = GetFileInformationByHandle(open, &mine) && GetFileInformationByHandle(atPath, &there);
  CloseHandle(atPath);
  return known && (mine.dwVolumeSerialNumber != there.dwVolumeSerialNumber ||
                   mine.nFileIndexHigh != there.nFileIndexHigh || mine.nFileIndexLow != there.nFileIndexLow);
}
#else
bool FileHasMoved(sqlite3* db) {
  int moved = 0;
  return sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}
#endif

// The failure of a write refused because the file has moved.
DbError MovedError() {
  DbError error = MakeError(SQLITE_READONLY_DBMOVED, nullptr);
  error.description = u"The database file was deleted or renamed while open";
  return error;
}

// Owns the connection handle. Statements keep it alive, so it is closed when
// the session and every statement handed out are gone.
class SqliteDatabase {
 public:
  explicit SqliteDatabase(sqlite3* db) : db_(db) {}
  ~SqliteDatabase() { sqlite3_close_v2(db_); }
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_;
};

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Idle prepared statements by SQL text, waiting to be handed out again.
class StatementPool {
 public:
  StatementHandle Take(const std::string& sql) {
    auto found = idle_.find(sql);
    if (found == idle_.end()) return nullptr;
    StatementHandle handle = std::move(found->second);
    idle_.erase(found);
    return handle;
  }
  void Give(const std::string& sql, StatementHandle handle) {
    if (idle_.size() < kMaxIdle) idle_.emplace(sql, std::move(handle));
  }

 private:
  static constexpr size_t kMaxIdle = 64;
  std::multimap<std::string, StatementHandle> idle_;
};

class SqliteStatement final : public DbStatement {
 public:
  SqliteStatement(std::shared_ptr<SqliteDatabase> db, std::weak_ptr<StatementPool> pool, std::string sql,
                  StatementHandle handle)
      : db_(std::move(db)), pool_(std::move(pool)), sql_(std::move(sql)), handle_(std::move(handle)) {}

  ~SqliteStatement() override {
    sqlite3_reset(handle_.get());
    sqlite3_clear_bindings(handle_.get());
    if (auto pool = pool_.lock()) pool->Give(sql_, std::move(handle_));
  }

  bool Bind(const std::vector<DbValue>& parameters, DbError& error) override {
    sqlite3_stmt* s = handle_.get();
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    if (static_cast<int>(parameters.size()) > sqlite3_bind_parameter_count(s)) {
      error = MakeError(SQLITE_RANGE, nullptr);
      error.description = u"The statement takes fewer parameters than were given";
      return false;
    }
    for (size_t i = 0; i < parameters.size(); ++i) {
      const int position = static_cast<int>(i) + 1;
      const DbValue& value = parameters[i];
      int rc = SQLITE_OK;
      if (const auto* integer = std::get_if<int64_t>(&value)) {
        rc = sqlite3_bind_int64(s, position, *integer);
      } else if (const auto* real = std::get_if<double>(&value)) {
        rc = sqlite3_bind_double(s, position, *real);
      } else if (const auto* textValue = std::get_if<std::u16string>(&value)) {
        const std::string utf8 = text::Utf16ToUtf8(*textValue);
        rc = sqlite3_bind_text64(s, position, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      } else {
        rc = sqlite3_bind_null(s, position);
      }
      if (rc != SQLITE_OK) {
        error = ErrorOf(db_->get());
        return false;
      }
    }
    return true;
  }

  DbStep Step(DbError& error) override {
    // A write outside a transaction; a transaction checks when it begins.
    if (!sqlite3_stmt_busy(handle_.get()) && !sqlite3_stmt_readonly(handle_.get()) &&
        sqlite3_get_autocommit(db_->get()) && FileHasMoved(db_->get())) {
      error = MovedError();
      return DbStep::Failed;
    }
    const int rc = sqlite3_step(handle_.get());
    if (rc == SQLITE_ROW) return DbStep::Row;
    if (rc == SQLITE_DONE) return DbStep::Done;
    error = ErrorOf(db_->get());
    sqlite3_reset(handle_.get());
    return DbStep::Failed;
  }

  void Reset() override { sqlite3_reset(handle_.get()); }

  int ColumnCount() const override { return sqlite3_column_count(handle_.get()); }

  DbField Column(int index) const override {
    sqlite3_stmt* s = handle_.get();
    DbField field;
    switch (sqlite3_column_type(s, index)) {
      case SQLITE_INTEGER:
        field.type = DbType::Integer;
        field.value = static_cast<int64_t>(sqlite3_column_int64(s, index));
        break;
      case SQLITE_FLOAT:
        field.type = DbType::Real;
        field.value = sqlite3_column_double(s, index);
        break;
      case SQLITE_TEXT: {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
        const int size = sqlite3_column_bytes(s, index);
        field.type = DbType::Text;
        field.value = text::Utf8ToUtf16(std::string_view(bytes ? bytes : "", static_cast<size_t>(size)));
        break;
      }
      case SQLITE_BLOB:
        field.type = DbType::Blob;
        break;
      default:
        break;
    }
    return field;
  }

  DbColumnOrigin Origin(int index) const override {
    sqlite3_stmt* s = handle_.get();
    DbColumnOrigin origin;
    const char* database = sqlite3_column_database_name(s, index);
    const char* table = sqlite3_column_table_name(s, index);
    const char* column = sqlite3_column_origin_name(s, index);
    if (!table || !column) return origin;
    origin.table = FromUtf8(table);
    origin.column = FromUtf8(column);
    int primaryKey = 0;
    sqlite3_table_column_metadata(db_->get(), database, table, column, nullptr, nullptr, nullptr, &primaryKey,
                                  nullptr);
    origin.primaryKey = primaryKey != 0;
    const char* declared = sqlite3_column_decltype(s, index);
    if (declared && std::string(declared).find("INT") != std::string::npos) origin.type = DbType::Integer;
    return origin;
  }

 private:
  std::shared_ptr<SqliteDatabase> db_;
  std::weak_ptr<StatementPool> pool_;
  std::string sql_;
  StatementHandle handle_;
};

class SqliteSession final : public DbSession {
 public:
  explicit SqliteSession(std::shared_ptr<SqliteDatabase> db)
      : db_(std::move(db)), pool_(std::make_shared<StatementPool>()) {}

  std::unique_ptr<DbStatement> Prepare(const std::u16string& sql, DbError& error) override {
    std::string utf8 = text::Utf16ToUtf8(sql);
    StatementHandle handle = pool_->Take(utf8);
    if (!handle) {
      sqlite3_stmt* raw = nullptr;
      const char* tail = nullptr;
      const int rc = sqlite3_prepare_v3(db_->get(), utf8.c_str(), static_cast<int>(utf8.size()) + 1,
                                        SQLITE_PREPARE_PERSISTENT, &raw, &tail);
      handle.reset(raw);
      if (rc != SQLITE_OK) {
        error = ErrorOf(db_->get());
        return nullptr;
      }
      if (!handle) {  // only white space or a comment
        error = MakeError(SQLITE_MISUSE, nullptr);
        error.description = u"The statement is empty";
        return nullptr;
      }
      for (; tail && *tail; ++tail) {
        if (!(*tail == ' ' || (*tail >= '\t' && *tail <= '\r'))) {
          error = MakeError(SQLITE_MISUSE, nullptr);
          error.description = u"Only one statement can be run at a time";
          return nullptr;
        }
      }
    }
    return std::make_unique<SqliteStatement>(db_, pool_, std::move(utf8), std::move(handle));
  }

  bool Execute(const std::u16string& sql, DbError& error) override {
    const std::string utf8 = text::Utf16ToUtf8(sql);
    if (sqlite3_exec(db_->get(), utf8.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      error = ErrorOf(db_->get());
      return false;
    }
    return true;
  }

  // IMMEDIATE takes the write lock at once: two writers wait for each other
  // in the busy handler instead of deadlocking on a lock upgrade.
  bool BeginTransaction(DbError& error) override {
    if (FileHasMoved(db_->get())) {
      error = MovedError();
      return false;
    }
    return Execute(u"BEGIN IMMEDIATE", error);
  }
  bool CommitTransaction(DbError& error) override { return Execute(u"COMMIT", error); }
  bool RollbackTransaction(DbError& error) override { return Execute(u"ROLLBACK", error); }

  int64_t ChangedRows() const override { return sqlite3_changes64(db_->get()); }
  bool IsOwnDatabase() const override { return true; }
  std::u16string Dbms() const override { return u"SQLite"; }

  void SetBusyTimeout(int milliseconds) override { sqlite3_busy_timeout(db_->get(), milliseconds); }

 private:
  std::shared_ptr<SqliteDatabase> db_;  // declared first: the pool's statements go before the handle
  std::shared_ptr<StatementPool> pool_;
};

std::u16string_view TextArgument(sqlite3_value* value) {
  const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(value));
  return text ? std::u16string_view(text, static_cast<size_t>(sqlite3_value_bytes16(value)) / 2)
              : std::u16string_view();
}

// kwo_holds(shortkey, content, folded word): see EntryHolds.
void HoldsFunction(sqlite3_context* context, int, sqlite3_value** arguments) {
  const std::u16string_view key = TextArgument(arguments[0]);
  const std::u16string_view content = TextArgument(arguments[1]);
  sqlite3_result_int(context, EntryHolds(key, content, TextArgument(arguments[2])) ? 1 : 0);
}

std::string FileNameUtf8(const std::u16string& dataSource) {
  if (dataSource == u":memory:") return ":memory:";
  std::error_code ignored;
  std::filesystem::path path(dataSource);
  std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  if (absolute.empty()) absolute = path;
  return absolute.u8string();
}

}  // namespace

DbFailure SqliteFailure(uint32_t code) {
  if (code == SQLITE_READONLY_DBMOVED) return DbFailure::FileMoved;
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DbFailure::Locked;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:  // the journal beside it cannot be made
      return DbFailure::ReadOnly;
    case SQLITE_FULL:
      return DbFailure::DiskFull;
    case SQLITE_IOERR:
      return DbFailure::IoError;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return DbFailure::Damaged;
    default:
      return DbFailure::Other;
  }
}

std::unique_ptr<DbSession> OpenSqliteSession(const ConnectionSettings& settings, bool create, DbError& error) {
  sqlite3* raw = nullptr;
  const std::string fileName = FileNameUtf8(settings.dataSource);
  const int rc = sqlite3_open_v2(fileName.c_str(), &raw,
                                 SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_EXRESCODE,
                                 nullptr);
  auto db = std::make_shared<SqliteDatabase>(raw);
  if (rc != SQLITE_OK) {
    error = MakeError(rc, raw);
    return nullptr;
  }
  sqlite3_busy_timeout(raw, settings.busyTimeoutMs);
  sqlite3_create_function_v2(raw, "kwo_holds", 3, SQLITE_UTF16 | SQLITE_DETERMINISTIC, nullptr, &HoldsFunction,
                             nullptr, nullptr, nullptr);
  auto session = std::make_unique<SqliteSession>(db);
  // A rollback journal, never WAL: WAL's shared memory does not work on a network share.
  if (!session->Execute(u"PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", error)) return nullptr;
  return session;
}

}  // namespace kwo::store
