#include "store/OdbcStatement.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <variant>

#include "store/BoundedSelect.h"
#include "store/SqlRewrite.h"
#include "store/SqliteEngine.h"
#include "text/Chars.h"

namespace kwo::store::odbc {
namespace {

constexpr int kListingTimeoutSeconds = 120;

struct ColumnInfo {
  std::u16string name;
  SQLSMALLINT sqlType = SQL_WVARCHAR;
  SQLSMALLINT digits = 0;
};

DbType KindOf(SQLSMALLINT sqlType, SQLSMALLINT digits) {
  switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: return DbType::Integer;
    case SQL_NUMERIC:
    case SQL_DECIMAL: return digits == 0 ? DbType::Integer : DbType::Real;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: return DbType::Real;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return DbType::Blob;
    default: return DbType::Text;
  }
}

class OdbcStatement final : public DbStatement {
 public:
  OdbcStatement(std::shared_ptr<Shared> shared, DbSession& session, std::u16string sql, std::vector<size_t> order)
      : shared_(std::move(shared)), session_(&session), base_(sql), sql_(std::move(sql)), baseOrder_(order),
        order_(std::move(order)) {}

  ~OdbcStatement() override { Release(); }

  // Gives the prepared handle back for another statement of the same text.
  void Release() {
    Unbind();
    executed_ = false;
    DropStatement();
  }

  // A link given up while a thread may still be inside the driver on it:
  // no call on its handles from here.
  bool Stranded() const { return link_ && link_->givenUp; }

  // The handle goes back to the idle ones of its link, goes with a link given
  // up, or is freed.
  void DropStatement() {
    std::unique_ptr<Handle> statement = std::move(statement_);
    if (statement && Stranded()) {
      link_->orphans.push_back(std::move(statement));
      return;
    }
    if (!statement || link_ != shared_->link || shared_->closed || shared_->idle.size() >= 64) return;
    if (!shared_->dialect.reusesStatements) return;
    SQLFreeStmt(statement->handle, SQL_CLOSE);
    SQLFreeStmt(statement->handle, SQL_RESET_PARAMS);
    shared_->idle.emplace(sql_, std::move(statement));
  }

  // Statements with parameters are the searches typed in the popup and the
  // lookups and writes of the edit dialog, which get a short query timeout;
  // the rest (listings, bulk writes) a long one. Either way the window's
  // thread waits for them no longer than the deadline.
  bool IsSearch() const { return !longRun_ && (limit_ > 0 || order_.size() > 0); }

  // A driver call on this statement by the deadline (Shared::ByDeadline):
  // false when given up; the handle and the buffers the driver may still
  // read then go with the call.
  bool ByDeadline(std::function<SQLRETURN()> call, SQLRETURN& rc, DbError& error) {
    cancelled_ = false;
    const SQLHANDLE s = statement_->handle;
    if (shared_->ByDeadline(std::move(call),
                            [this](Keep& keep) {
                              keep.push_back(std::shared_ptr<Handle>(std::move(statement_)));
                              keep.push_back(std::make_shared<std::vector<Bound>>(std::move(bound_)));
                              keep.push_back(std::make_shared<std::vector<std::u16string>>(std::move(boundText_)));
                              keep.push_back(std::make_shared<std::vector<SQLLEN>>(std::move(boundLength_)));
                            },
                            rc, error, [s] { SQLCancel(s); }, &cancelled_)) {
      return true;
    }
    boundText_.clear();
    boundLength_.clear();
    link_.reset();
    abandoned_ = true;
    return false;
  }

  void SetTimeout() {
    const SQLULEN seconds = static_cast<SQLULEN>(IsSearch() ? kOdbcSearchTimeoutSeconds : kListingTimeoutSeconds);
    SQLSetStmtAttrW(statement_->handle, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
  }

  bool PrepareOnLink(DbError& error) {
    // A handle of the link replaced goes first, while its connection is there.
    Unbind();
    DropStatement();
    link_ = shared_->link;
    auto found = shared_->idle.find(sql_);
    if (found != shared_->idle.end()) {
      statement_ = std::move(found->second);
      shared_->idle.erase(found);
      return true;
    }
    SQLHANDLE raw = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, link_->dbc.handle, &raw))) {
      error = Diagnose(SQL_HANDLE_DBC, link_->dbc.handle);
      return false;
    }
    statement_ = std::make_unique<Handle>(SQL_HANDLE_STMT, raw);
    SetTimeout();
    // Some drivers ask the server at once.
    SQLRETURN rc = SQL_ERROR;
    if (!ByDeadline([raw, text = sql_]() mutable { return SQLPrepareW(raw, Wide(text), SQL_NTS); }, rc, error)) {
      return false;
    }
    if (!Succeeded(rc)) {
      error = CallError();
      return false;
    }
    return true;
  }

  // PostgreSQL gets the bound as LIMIT markers (store/BoundedSelect.h): the
  // server then stops reading, and psqlODBC, which takes in a whole result,
  // receives no more rows than the caller reads.
  void LimitRows(int rows) override {
    limit_ = rows > 0 ? rows : 0;
    std::u16string sql = base_;
    std::vector<size_t> order = baseOrder_;
    const bool bounded = limit_ > 0 && shared_->dialect.driverBuffersResults && AddRowBound(sql, order);
    if (bounded == bounded_) return;
    Release();  // prepared again, for the new text, when it runs
    bounded_ = bounded;
    sql_ = std::move(sql);
    order_ = std::move(order);
  }

  void AllowLongRun() override {
    longRun_ = true;
    if (statement_) SetTimeout();
  }

  bool Bind(const std::vector<DbValue>& parameters, DbError& error) override {
    Reset();
    size_t needed = 0;
    for (size_t number : baseOrder_) needed = number + 1 > needed ? number + 1 : needed;
    if (parameters.size() > needed) {
      error = PlainError(u"The statement takes fewer parameters than were given", u"07002");
      return false;
    }
    parameters_ = parameters;
    parameters_.resize(needed);
    return true;
  }

  DbStep Step(DbError& error) override {
    if (!executed_ && !Execute(error)) return DbStep::Failed;
    if (columns_.empty()) return DbStep::Done;
    if (Stranded()) {  // the rest of a result on a link given up since
      error = shared_->awayError;
      return DbStep::Failed;
    }
    // Rows, their columns (SQLGetData) and their description come from what
    // the execute took in for a driver that buffers results (psqlODBC, the
    // server drivers this engine is run on); a local file's driver (SQLite,
    // Access) reads its file. Neither waits for a server: a call per row by a
    // deadline would cost a thread each.
    const SQLRETURN rc = SQLFetch(statement_->handle);
    if (rc == SQL_NO_DATA) return DbStep::Done;
    if (!Succeeded(rc)) {
      error = Diagnose(SQL_HANDLE_STMT, statement_->handle);
      shared_->LinkBroke(error);
      return DbStep::Failed;
    }
    row_.clear();
    DbError readError;  // the caller's error may hold an earlier failure
    for (size_t i = 0; i < columns_.size(); ++i) {
      row_.push_back(boundText_.empty() ? ReadColumn(static_cast<SQLUSMALLINT>(i + 1), columns_[i], readError)
                                         : BoundColumn(i, readError));
      if (!readError.state.empty()) {
        error = readError;
        shared_->LinkBroke(error);
        return DbStep::Failed;
      }
    }
    return DbStep::Row;
  }

  void Reset() override {
    Unbind();
    if (statement_ && executed_ && !Stranded()) SQLFreeStmt(statement_->handle, SQL_CLOSE);
    executed_ = false;
    failure_ = DbError();
  }

  int ColumnCount() const override {
    if (!executed_) const_cast<OdbcStatement*>(this)->Execute(failure_);
    return static_cast<int>(columns_.size());
  }

  DbField Column(int index) const override {
    return index >= 0 && static_cast<size_t>(index) < row_.size() ? row_[static_cast<size_t>(index)] : DbField();
  }

  DbField TakeColumn(int index) override {
    return index >= 0 && static_cast<size_t>(index) < row_.size() ? std::move(row_[static_cast<size_t>(index)])
                                                                   : DbField();
  }

  DbColumnOrigin Origin(int index) const override {
    DbColumnOrigin origin;
    if (index < 0 || static_cast<size_t>(index) >= columns_.size() || !statement_) return origin;
    const ColumnInfo& column = columns_[static_cast<size_t>(index)];
    origin.table = Attribute(index, SQL_DESC_BASE_TABLE_NAME);
    if (origin.table.empty()) origin.table = Attribute(index, SQL_DESC_TABLE_NAME);
    origin.column = Attribute(index, SQL_DESC_BASE_COLUMN_NAME);
    if (origin.column.empty()) origin.column = column.name;
    if (origin.table.empty()) {
      // Drivers that do not say: a column of that name in the table read is taken for it.
      origin.table = TableOfSelect(sql_);
      bool known = false;
      for (const auto& name : shared_->Columns(origin.table)) known = known || text::EqualNoCase(name, origin.column);
      if (!known) return DbColumnOrigin();
    }
    if (origin.table.empty() || origin.column.empty()) return DbColumnOrigin();
    for (const auto& key : shared_->PrimaryKey(origin.table)) {
      origin.primaryKey = origin.primaryKey || text::EqualNoCase(key, origin.column);
    }
    origin.type = KindOf(column.sqlType, column.digits);
    origin.narrowInteger = column.sqlType == SQL_INTEGER || column.sqlType == SQL_SMALLINT ||
                           column.sqlType == SQL_TINYINT;
    // Given up on the way: what was read may be half, and no write may go by it.
    return Stranded() || !statement_ ? DbColumnOrigin() : origin;
  }

 private:
  // A write outside a transaction runs in one of its own, committed once it
  // has run. Given up by the deadline it is then never committed: the server
  // rolls it back when the link given up is closed. In autocommit a server
  // process that had only stopped would run it when it went on, after the
  // user was told it was not saved.
  bool Execute(DbError& error) {
    if (!failure_.state.empty()) {
      error = failure_;
      return false;
    }
    if (shared_->inTransaction || shared_->closed || !IsPlainWrite(base_)) return RunOnLink(error);
    if (!session_->BeginTransaction(error)) return Remember(error);
    if (!RunOnLink(error)) {
      DbError ignored;
      if (shared_->inTransaction) session_->RollbackTransaction(ignored);
      return false;
    }
    if (!session_->CommitTransaction(error)) {
      executed_ = false;
      return Remember(error);
    }
    return true;
  }

  bool RunOnLink(DbError& error) {
    columns_.clear();
    // A link that broke since the last statement is replaced once, before any row was read.
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (link_ != shared_->link || !statement_) {
        if (!shared_->Ready(*session_, error) || !PrepareOnLink(error)) return Remember(error);
      }
      abandoned_ = false;
      if (BindAndExecute(error)) break;
      // Given up: connecting again now might wait as long for a server that has stopped.
      if (abandoned_) return Remember(error);
      if (attempt == 1 || !shared_->LinkBroke(error) || !shared_->MayReconnect()) return Remember(error);
    }
    executed_ = true;
    if (shared_->inTransaction) shared_->transactionWritten = true;
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement_->handle, &count);
    for (SQLSMALLINT i = 1; i <= count; ++i) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      SQLDescribeColW(statement_->handle, static_cast<SQLUSMALLINT>(i), name, 256, &nameLength, &type, &size, &digits,
                      &nullable);
      columns_.push_back(ColumnInfo{reinterpret_cast<const char16_t*>(name), type, digits});
    }
    if (count > 0 && limit_ == 0 && shared_->dialect.driverBuffersResults) BindResult();
    if (count == 0) {
      SQLLEN changed = 0;
      SQLRowCount(statement_->handle, &changed);
      shared_->changed = changed;
    }
    return true;
  }

  // Why the last call on the statement failed.
  DbError CallError() const {
    if (!cancelled_) return Diagnose(SQL_HANDLE_STMT, statement_->handle);
    DbError error = PlainError(u"数据库服务器没有在限定的时间内做完这一步（它可能在等其他程序放开数据），这一步已经取消。",
                               u"HY008");
    error.failure = DbFailure::Locked;
    return error;
  }

  bool Remember(const DbError& error) {
    failure_ = error;
    return false;
  }

  bool BindAndExecute(DbError& error) {
    SQLHANDLE s = statement_->handle;
    SQLFreeStmt(s, SQL_RESET_PARAMS);
    SQLSetStmtAttrW(s, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(limit_ > 0 ? limit_ : 0)),
                    0);
    const bool asDouble = shared_->dialect.bigIntegersAsDouble;
    bound_.assign(order_.size(), Bound());
    const DbValue rowBound(static_cast<int64_t>(limit_));
    for (size_t i = 0; i < order_.size(); ++i) {
      const DbValue& value = order_[i] == kRowBoundParameter ? rowBound : parameters_[order_[i]];
      Bound& b = bound_[i];
      SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR;
      SQLULEN size = 1;
      SQLPOINTER data = nullptr;
      SQLLEN length = 0;
      if (const auto* integer = std::get_if<int64_t>(&value)) {
        const bool small = *integer >= INT32_MIN && *integer <= INT32_MAX;
        if (asDouble && !small) {
          b.real = static_cast<double>(*integer);
          cType = SQL_C_DOUBLE;
          sqlType = SQL_DOUBLE;
          data = &b.real;
          size = 15;
        } else {
          b.integer = *integer;
          cType = SQL_C_SBIGINT;
          sqlType = small ? SQL_INTEGER : SQL_BIGINT;
          size = small ? 10 : 19;
          data = &b.integer;
        }
      } else if (const auto* real = std::get_if<double>(&value)) {
        b.real = *real;
        cType = SQL_C_DOUBLE;
        sqlType = SQL_DOUBLE;
        size = 15;
        data = &b.real;
      } else if (const auto* textValue = std::get_if<std::u16string>(&value)) {
        b.text = *textValue;
        length = static_cast<SQLLEN>(b.text.size() * sizeof(char16_t));
        size = b.text.empty() ? 1 : b.text.size();
        sqlType = size > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        data = Wide(b.text);
      } else {
        length = SQL_NULL_DATA;
      }
      b.indicator = length;
      if (!Succeeded(SQLBindParameter(s, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, cType, sqlType, size, 0,
                                      data, length > 0 ? length : 0, &b.indicator))) {
        error = Diagnose(SQL_HANDLE_STMT, s);
        return false;
      }
    }
    // Every statement, an import's batch and an export's listing too, runs by
    // the deadline: they run on the window's thread. One that waits for a
    // lock or reads long is cancelled there and fails as such.
    SQLRETURN rc = SQL_ERROR;
    if (!ByDeadline([s] { return SQLExecute(s); }, rc, error)) return false;
    if (Succeeded(rc) || rc == SQL_NO_DATA) return true;
    error = CallError();
    if (cancelled_) return false;
    // The SQLite driver reports its failures as general errors with SQLite's own code.
    if (error.state == u"HY000" && shared_->dialect.failuresAsSqliteCodes) {
      if ((error.code & 0xFF) == 19) error.state = u"23000";
      error.failure = SqliteFailure(error.code);
    }
    return false;
  }

  DbField ReadColumn(SQLUSMALLINT number, const ColumnInfo& column, DbError& error) {
    SQLHANDLE s = statement_->handle;
    DbField field;
    SQLLEN length = 0;
    const DbType kind = KindOf(column.sqlType, column.digits);
    if (kind == DbType::Integer || kind == DbType::Real) {
      // Read as text first: a DECIMAL may hold more than 64 bits, a DOUBLE a fraction.
      SQLWCHAR buffer[64] = {};
      if (!Succeeded(SQLGetData(s, number, SQL_C_WCHAR, buffer, sizeof buffer, &length))) {
        error = Diagnose(SQL_HANDLE_STMT, s);
        return field;
      }
      if (length == SQL_NULL_DATA) return field;
      return NumberField(reinterpret_cast<const char16_t*>(buffer));
    }
    if (kind == DbType::Blob) {
      char ignored[256];
      while (Succeeded(SQLGetData(s, number, SQL_C_BINARY, ignored, sizeof ignored, &length))) {
        if (length == SQL_NULL_DATA) return field;
      }
      field.type = DbType::Blob;
      return field;
    }
    std::u16string value;
    std::u16string& chunk = chunk_;
    if (chunk.empty()) chunk.resize(2048);
    for (;;) {
      const SQLRETURN rc = SQLGetData(s, number, SQL_C_WCHAR, Wide(chunk), static_cast<SQLLEN>(chunk.size() * 2),
                                      &length);
      if (rc == SQL_NO_DATA) break;
      if (!Succeeded(rc)) {
        error = Diagnose(SQL_HANDLE_STMT, s);
        return field;
      }
      if (length == SQL_NULL_DATA) return field;
      const size_t room = chunk.size() - 1;
      const size_t got = length == SQL_NO_TOTAL || static_cast<size_t>(length) / 2 > room
                             ? room
                             : static_cast<size_t>(length) / 2;
      value.append(chunk.data(), got);
      if (rc == SQL_SUCCESS) break;
    }
    field.type = DbType::Text;
    field.value = std::move(value);
    return field;
  }

  // Digits as the driver gives them: an integer when they are one, else the text.
  static DbField NumberField(std::u16string_view digits) {
    DbField field;
    bool whole = !digits.empty();
    int64_t value = 0;
    for (size_t i = digits[0] == u'-' ? 1 : 0; i < digits.size() && whole; ++i) {
      whole = digits[i] >= u'0' && digits[i] <= u'9' && value < INT64_MAX / 10;
      value = value * 10 + (digits[i] - u'0');
    }
    if (whole) {
      field.type = DbType::Integer;
      field.value = digits[0] == u'-' ? -value : value;
    } else {
      field.type = DbType::Text;
      field.value = std::u16string(digits);
    }
    return field;
  }

  // Large enough for most values: a longer one is read again with SQLGetData.
  static constexpr size_t kBoundChars = 1024;

  // A whole result read through bound buffers: one call per row instead of
  // one per column. psqlODBC takes in the whole result anyway.
  void BindResult() {
    SQLHANDLE s = statement_->handle;
    std::vector<std::u16string> buffers(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
      const DbType kind = KindOf(columns_[i].sqlType, columns_[i].digits);
      if (kind == DbType::Blob) return;
      buffers[i].resize(kind == DbType::Text ? kBoundChars + 1 : 64);
    }
    boundText_ = std::move(buffers);
    boundLength_.assign(columns_.size(), 0);
    for (size_t i = 0; i < columns_.size(); ++i) {
      if (!Succeeded(SQLBindCol(s, static_cast<SQLUSMALLINT>(i + 1), SQL_C_WCHAR, Wide(boundText_[i]),
                                static_cast<SQLLEN>(boundText_[i].size() * sizeof(char16_t)), &boundLength_[i]))) {
        Unbind();
        return;
      }
    }
  }

  void Unbind() {
    if (boundText_.empty()) return;
    if (statement_ && !Stranded()) SQLFreeStmt(statement_->handle, SQL_UNBIND);
    boundText_.clear();
    boundLength_.clear();
  }

  DbField BoundColumn(size_t index, DbError& error) {
    const SQLLEN length = boundLength_[index];
    if (length == SQL_NULL_DATA) return DbField();
    const std::u16string& buffer = boundText_[index];
    if (length == SQL_NO_TOTAL || length < 0 || static_cast<size_t>(length) / 2 >= buffer.size()) {
      return ReadColumn(static_cast<SQLUSMALLINT>(index + 1), columns_[index], error);  // cut short: read it whole
    }
    const std::u16string_view value(buffer.data(), static_cast<size_t>(length) / 2);
    const DbType kind = KindOf(columns_[index].sqlType, columns_[index].digits);
    if (kind != DbType::Text) return NumberField(value);
    DbField field;
    field.type = DbType::Text;
    field.value = std::u16string(value);
    return field;
  }

  // psqlODBC may ask the server's catalog for a column's table: by the deadline.
  std::u16string Attribute(int index, SQLUSMALLINT attribute) const {
    if (!statement_ || Stranded()) return {};
    auto buffer = std::make_shared<std::vector<SQLWCHAR>>(256);
    const SQLHANDLE s = statement_->handle;
    SQLRETURN rc = SQL_ERROR;
    DbError ignored;
    if (!const_cast<OdbcStatement*>(this)->ByDeadline(
            [s, buffer, index, attribute] {
              SQLSMALLINT length = 0;
              return SQLColAttributeW(s, static_cast<SQLUSMALLINT>(index + 1), attribute, buffer->data(),
                                      static_cast<SQLSMALLINT>(buffer->size() * sizeof(SQLWCHAR)), &length, nullptr);
            },
            rc, ignored) ||
        !Succeeded(rc)) {
      return {};
    }
    return reinterpret_cast<const char16_t*>(buffer->data());
  }

  struct Bound {
    std::u16string text;
    int64_t integer = 0;
    double real = 0;
    SQLLEN indicator = 0;
  };

  std::shared_ptr<Shared> shared_;
  DbSession* session_;  // the session outlives a statement only while it is open; used for reconnecting
  std::u16string base_;  // the statement as the caller gave it
  std::u16string sql_;   // as prepared: base_, or base_ with row bounds
  std::vector<size_t> baseOrder_;
  std::vector<size_t> order_;  // the parameter of each marker of sql_
  std::shared_ptr<Link> link_;
  std::unique_ptr<Handle> statement_;
  std::vector<DbValue> parameters_;
  std::vector<Bound> bound_;
  std::vector<ColumnInfo> columns_;
  std::vector<DbField> row_;
  std::u16string chunk_;  // the buffer text columns are read through
  std::vector<std::u16string> boundText_;  // bound to the columns of a whole result, or empty
  std::vector<SQLLEN> boundLength_;
  int limit_ = 0;
  bool longRun_ = false;
  bool bounded_ = false;  // sql_ has row-bound markers, bound to limit_
  bool executed_ = false;
  bool abandoned_ = false;  // the last run passed its deadline; its handles went with it
  bool cancelled_ = false;  // the last call was cancelled at its deadline, and the server said so
  mutable DbError failure_;
};

}  // namespace

std::unique_ptr<DbStatement> PrepareStatement(const std::shared_ptr<Shared>& shared, DbSession& session,
                                              std::u16string sql, std::vector<size_t> order, DbError& error) {
  auto statement = std::make_unique<OdbcStatement>(shared, session, std::move(sql), std::move(order));
  if (!statement->PrepareOnLink(error)) {
    // A broken link is replaced when the statement runs.
    if (!shared->LinkBroke(error) || !shared->MayReconnect()) return nullptr;
  }
  return statement;
}

}  // namespace kwo::store::odbc
