#include "store/OdbcEngine.h"

#include "store/BoundedSelect.h"
#include "store/SqlDialect.h"
#include "store/SqliteEngine.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <string_view>
#include <utility>

#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters must be UTF-16 code units");

constexpr char16_t kSource[] = u"ODBC";
constexpr int kListingTimeoutSeconds = 120;
// After a failed connect, statements fail at once for this long instead of
// waiting for the login timeout on every keystroke. A link found broken by a
// statement is replaced at once: the server is most likely there.
constexpr auto kRetryPause = std::chrono::milliseconds(1000);
// How long a call that may reach the server (a search, a prepare, a
// catalog listing, a connect) may keep the caller (the window's thread)
// waiting for a server that accepted it and stopped answering.
constexpr auto kServerDeadline = std::chrono::milliseconds(1500);
// How much longer a call asked to stop at the deadline may take to end:
// together at most 1.9 s, below the 2 s the window may be kept waiting.
constexpr auto kCancelGrace = std::chrono::milliseconds(400);
// A connect cannot be cancelled: it may take as long as a cancelled call.
// The login timeout (2 s, the least libpq takes: it reads 1 as 2) ends the
// thread a connect given up leaves in the driver soon after; a login that
// takes longer than the deadline fails as unreachable, as the driver's own
// timeout would say.
constexpr auto kConnectDeadline = kServerDeadline + kCancelGrace;

SQLWCHAR* Wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(&s[0]); }

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

}  // namespace

DbFailure OdbcFailure(const std::u16string& state) {
  if (state.compare(0, 2, u"08") == 0 || state == u"HYT00" || state == u"HYT01" || state == u"57P01" ||
      state == u"57P02" || state == u"57P03") {
    return DbFailure::Unreachable;  // no connection, a timeout, the server shutting down or starting
  }
  if (state == u"40001" || state == u"40P01" || state == u"55P03") return DbFailure::Locked;  // a conflict or a deadlock
  if (state == u"25006" || state == u"42501") return DbFailure::WriteDenied;
  if (state == u"53100") return DbFailure::DiskFull;
  return DbFailure::Other;
}

DbFailure LoginFailure(const DbError& error) {
  const std::u16string& state = error.state;
  if (state.compare(0, 2, u"28") == 0 || error.code == 18456) return DbFailure::LoginRefused;
  if (state == u"3D000" || error.code == 4060) return DbFailure::DatabaseMissing;
  if (state.compare(0, 2, u"08") != 0) return error.failure;
  const std::u16string said = text::Upper(error.description);
  const auto has = [&said](std::u16string_view part) { return said.find(part) != std::u16string::npos; };
  if (has(u"DATABASE \"") && has(u"DOES NOT EXIST")) return DbFailure::DatabaseMissing;
  if (has(u"数据库 \"") && has(u"不存在")) return DbFailure::DatabaseMissing;
  if (has(u"AUTHENTICATION FAILED") || has(u"认证失败") || has(u"PG_HBA.CONF") ||
      (has(u"ROLE \"") && has(u"DOES NOT EXIST")) || (has(u"角色 \"") && has(u"不存在")) ||
      has(u"PASSWORD") || has(u"口令")) {
    return DbFailure::LoginRefused;
  }
  return error.failure;
}

namespace {

DbError Diagnose(SQLSMALLINT type, SQLHANDLE handle) {
  DbError error;
  error.source = kSource;
  for (SQLSMALLINT record = 1; handle != SQL_NULL_HANDLE && record <= 4; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    if (!Succeeded(SQLGetDiagRecW(type, handle, record, state, &native, message, 1024, &length))) break;
    if (record == 1) {
      error.state = std::u16string(reinterpret_cast<const char16_t*>(state));
      error.code = static_cast<uint32_t>(native);
    }
    if (!error.description.empty()) error.description += u"\n";
    error.description += reinterpret_cast<const char16_t*>(message);
  }
  error.codeMeaning = u"SQLSTATE " + error.state;
  error.failure = OdbcFailure(error.state);
  if (error.description.empty()) error.description = u"ODBC 调用失败";
  return error;
}

DbError PlainError(const std::u16string& description, const std::u16string& state = u"HY000") {
  DbError error;
  error.code = 0x80004005;
  error.source = kSource;
  error.state = state;
  error.codeMeaning = u"SQLSTATE " + state;
  error.failure = OdbcFailure(state);
  error.description = description;
  return error;
}

// The server cannot be reached, or the link to it broke.
bool IsLinkFailure(const DbError& error) {
  return error.state.compare(0, 2, u"08") == 0 || error.state == u"HYT00" || error.state == u"HYT01" ||
         error.state == u"57P01";
}

// A general failure, or one without a record: psqlODBC reports a session the
// server ended in these words too.
bool MayBeLinkFailure(const DbError& error) { return error.state.empty() || error.state == u"HY000"; }

struct Handle {
  SQLSMALLINT type = 0;
  SQLHANDLE handle = SQL_NULL_HANDLE;
  Handle() = default;
  Handle(SQLSMALLINT t, SQLHANDLE h) : type(t), handle(h) {}
  ~Handle() {
    if (handle != SQL_NULL_HANDLE) SQLFreeHandle(type, handle);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

// One connection to the server. Statements keep it alive: it is closed when
// the session has replaced it and the last statement on it is gone.
struct Link {
  Handle env;
  Handle dbc;
  bool connected = false;
  // A call on it passed its deadline: a thread may still be inside the
  // driver with the connection locked, so nothing more is called on it from
  // here; its statements' handles wait in `orphans` and go with it.
  bool givenUp = false;
  std::vector<std::unique_ptr<Handle>> orphans;
  // A disconnect sends the server its goodbye and waits for no answer.
  ~Link() {
    orphans.clear();
    if (connected) SQLDisconnect(dbc.handle);
  }
  // What the driver last saw of the link: no call to the server.
  bool Dead() const {
    SQLUINTEGER dead = SQL_CD_FALSE;
    return Succeeded(SQLGetConnectAttrW(dbc.handle, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
  }
};

// "?1", "?2" -> "?" with the parameter number of every marker; text in
// quotes is left alone.
std::u16string MapMarkers(const std::u16string& sql, std::vector<size_t>& order) {
  std::u16string out;
  char16_t quote = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char16_t c = sql[i];
    out += c;
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == u'\'' || c == u'"') {
      quote = c;
    } else if (c == u';' && !text::TrimSpace(std::u16string_view(sql).substr(i + 1)).empty()) {
      return std::u16string();  // more than one statement
    } else if (c == u'?') {
      size_t number = 0;
      size_t j = i + 1;
      while (j < sql.size() && sql[j] >= u'0' && sql[j] <= u'9') number = number * 10 + (sql[j++] - u'0');
      order.push_back(j > i + 1 ? number - 1 : order.size());
      i = j - 1;
    }
  }
  return out;
}

// The few words the databases spell differently. PostgreSQL's like tells
// letter cases apart, which SQLite's, SQL Server's and Access's do not.
std::u16string Respell(std::u16string sql, const SqlDialect& dialect) {
  if (dialect.substringIsMid) {
    for (size_t at = 0; (at = sql.find(u"substring(", at)) != std::u16string::npos;) sql.replace(at, 10, u"mid(");
  }
  if (dialect.caseBlindLikeIsIlike) {
    for (size_t at = 0; (at = sql.find(u" like ?", at)) != std::u16string::npos; at += 8) sql.replace(at, 6, u" ilike ");
  }
  return sql;
}

// The table a plain "select ... from <name> ..." reads.
std::u16string TableOfSelect(const std::u16string& sql) {
  const std::u16string lower = text::Upper(sql);
  size_t at = lower.find(u" FROM ");
  if (at == std::u16string::npos) return {};
  at += 6;
  while (at < sql.size() && sql[at] == u' ') ++at;
  size_t end = at;
  if (end < sql.size() && sql[end] == u'"') {
    end = sql.find(u'"', at + 1);
    return end == std::u16string::npos ? std::u16string() : sql.substr(at + 1, end - at - 1);
  }
  while (end < sql.size() && (sql[end] == u'_' || (sql[end] >= u'0' && sql[end] <= u'9') ||
                              (text::UpperUnit(sql[end]) >= u'A' && text::UpperUnit(sql[end]) <= u'Z')))
    ++end;
  return sql.substr(at, end - at);
}

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

// What a driver call given up by its caller leaves to the thread still
// inside the driver: the handles and buffers it uses, freed there once the
// driver returns, statements before their link.
using Keep = std::vector<std::shared_ptr<void>>;

struct PendingCall {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  SQLRETURN rc = SQL_ERROR;
  Keep keep;
  std::multimap<std::u16string, std::unique_ptr<Handle>> idle;
  std::shared_ptr<Link> link;
  int running = 0;  // threads still inside the driver: the call, and its cancel

  // A thread leaves the driver; the last one of an abandoned call frees what
  // it was handed, in the order handed over: handles before their buffers.
  void Leave(std::unique_lock<std::mutex>& lock) {
    --running;
    finished.notify_all();
    if (!abandoned || running > 0) return;
    Keep held = std::move(keep);
    auto idleHeld = std::move(idle);
    auto linkHeld = std::move(link);
    lock.unlock();
    for (auto& item : held) item.reset();
    idleHeld.clear();
    linkHeld.reset();
  }
};

// What the session and its statements share: the link, which the session
// replaces when the server comes back, and the state of the connection.
class Shared {
 public:
  Shared(std::u16string connectString, ConnectCheck check)
      : connectString_(std::move(connectString)), check_(std::move(check)) {}

  std::shared_ptr<Link> link;
  std::u16string dbms;
  SqlDialect dialect;
  bool away = false;
  DbFailure refusal = DbFailure::Other;  // a refused login: no login again until asked
  DbError refusalError;
  bool closed = false;  // the session is gone: its statements connect no more
  bool inTransaction = false;
  bool transactionWritten = false;  // a statement of the open transaction has run
  int64_t changed = 0;
  DbError awayError;
  std::chrono::steady_clock::time_point retryAfter;  // no connect before, after a failed one
  std::map<std::u16string, std::vector<std::u16string>> keys;     // primary-key columns by table
  std::map<std::u16string, std::vector<std::u16string>> columns;  // all columns by table
  // Prepared statements of the current link waiting to be used again, by SQL
  // text: a server parses each statement once per connection.
  std::multimap<std::u16string, std::unique_ptr<Handle>> idle;

  // Forgets the link; its statements go first, while their connection is there.
  void DropLink() {
    idle.clear();
    link.reset();
  }

  bool Connect(DbSession& session, DbError& error);

  // A usable link, connecting again when the last one broke.
  bool Ready(DbSession& session, DbError& error) {
    if (link && link->connected) return true;
    if (closed) {
      error = PlainError(u"The connection is closed", u"08003");
      return false;
    }
    if (inTransaction && transactionWritten) {
      error = PlainError(u"与数据库服务器的连接在事务中断开了，事务里的修改没有保存。", u"08S01");
      return false;
    }
    if (IsRefusal(refusal)) {
      error = refusalError;
      return false;
    }
    if (away && std::chrono::steady_clock::now() < retryAfter) {
      error = awayError;
      return false;
    }
    // A transaction that has run nothing yet starts again on the new link.
    const bool transaction = inTransaction;
    inTransaction = false;
    if (!Connect(session, error)) return false;
    if (transaction && !Autocommit(false, error)) {
      LinkBroke(error);
      return false;
    }
    inTransaction = transaction;
    return true;
  }

  // A broken link may still be replaced: nothing of a transaction is lost with it.
  bool MayReconnect() const { return !inTransaction || !transactionWritten; }

  // Switching autocommit on commits an open transaction on the server: by the deadline.
  bool Autocommit(bool on, DbError& error) {
    if (!link) {
      error = awayError;
      return false;
    }
    const SQLHANDLE dbc = link->dbc.handle;
    const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    SQLRETURN rc = SQL_ERROR;
    if (!ByDeadline([dbc, value] { return SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), 0); },
                    nullptr, rc, error)) {
      return false;
    }
    if (Succeeded(rc)) return true;
    error = Diagnose(SQL_HANDLE_DBC, dbc);
    return false;
  }

  // Ends the open transaction on the server, by the deadline. A commit given
  // up may still be done by the server once it runs again: the error says so.
  bool EndTran(SQLSMALLINT completion, DbError& error) {
    const SQLHANDLE dbc = link->dbc.handle;
    SQLRETURN rc = SQL_ERROR;
    if (!ByDeadline([dbc, completion] { return SQLEndTran(SQL_HANDLE_DBC, dbc, completion); }, nullptr, rc, error)) {
      if (completion == SQL_COMMIT) {
        error.description = u"数据库服务器在提交修改时没有回答：修改可能已经保存，也可能没有。";
      }
      return false;
    }
    if (Succeeded(rc)) return true;
    error = Diagnose(SQL_HANDLE_DBC, dbc);
    return false;
  }

  // After a failed call: true when the link broke (the link is then dropped).
  bool LinkBroke(const DbError& error) {
    if (!link) return true;
    if (!IsLinkFailure(error) && !link->Dead() && (!MayBeLinkFailure(error) || LinkAnswers())) return false;
    DropLink();
    away = true;
    awayError = error;
    return true;
  }

  // psqlODBC reports a session ended by the server as a general error
  // ("The connection has been lost") and may not mark the link dead: a
  // statement of its own tells.
  bool LinkAnswers() {
    SQLHANDLE raw = SQL_NULL_HANDLE;
    if (!link || !Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, link->dbc.handle, &raw))) return false;
    auto statement = std::make_shared<Handle>(SQL_HANDLE_STMT, raw);
    const SQLULEN seconds = kOdbcSearchTimeoutSeconds;
    SQLSetStmtAttrW(raw, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
    SQLRETURN rc = SQL_ERROR;
    DbError ignored;
    return ByDeadline(
               [raw] {
                 std::u16string probe = u"select 1";
                 return SQLExecDirectW(raw, Wide(probe), SQL_NTS);
               },
               [&statement](Keep& keep) { keep.push_back(std::move(statement)); }, rc, ignored) &&
           Succeeded(rc);
  }

  // Runs a driver call that may wait for the server on a thread of its own;
  // the caller waits at most kServerDeadline. Why: the query timeout is the
  // server's to keep, and a server that accepted the call and stopped (its
  // process stopped, its machine paused, packets dropped) never answers,
  // while keep-alives are answered by its system all the same. A call that
  // can be cancelled (`cancel`, SQLCancel on its statement) is asked to stop
  // at the deadline, on a thread of its own as the cancel request itself
  // goes to the server: a server that answers it (a statement waiting for a
  // lock, a long listing) ends the call within kCancelGrace, and the call
  // fails as cancelled (`cancelled` set) with its link kept. Otherwise the
  // link is given up: `handOver` moves what the call uses into the keep of
  // the threads still waiting, freed when the last of them returns. Then
  // false, with the error "server away"; the next statement connects anew
  // after the retry pause.
  bool ByDeadline(std::function<SQLRETURN()> call, const std::function<void(Keep&)>& handOver, SQLRETURN& rc,
                  DbError& error, std::function<void()> cancel = nullptr, bool* cancelled = nullptr,
                  std::chrono::milliseconds deadline = kServerDeadline) {
    auto pending = std::make_shared<PendingCall>();
    pending->running = 1;
    std::thread worker([pending, call = std::move(call)]() mutable {
      const SQLRETURN result = call();
      call = nullptr;  // what it holds goes before the link
      std::unique_lock<std::mutex> lock(pending->mutex);
      pending->rc = result;
      pending->done = true;
      pending->Leave(lock);
    });
    std::unique_lock<std::mutex> lock(pending->mutex);
    const auto over = [&pending] { return pending->done && pending->running == 0; };
    bool answered = pending->finished.wait_for(lock, deadline, over);
    if (!answered && cancel) {
      ++pending->running;
      std::thread([pending, cancel = std::move(cancel)]() mutable {
        cancel();
        cancel = nullptr;
        std::unique_lock<std::mutex> lock(pending->mutex);
        pending->Leave(lock);
      }).detach();
      answered = pending->finished.wait_for(lock, kCancelGrace, over);
      if (answered && cancelled) *cancelled = true;
    }
    if (answered) {
      lock.unlock();
      worker.join();
      rc = pending->rc;
      return true;
    }
    pending->abandoned = true;
    pending->link = link;
    AbandonLink(pending->idle);
    if (handOver) handOver(pending->keep);
    lock.unlock();
    worker.detach();
    rc = SQL_ERROR;
    error = awayError;
    return false;
  }

  // The link's server stopped answering: the link is given up (the thread
  // still waiting in the driver frees it). Like after a failed connect, the
  // next statement waits for the retry pause, so that one action of the
  // user meets one deadline at most.
  void AbandonLink(std::multimap<std::u16string, std::unique_ptr<Handle>>& graveyard) {
    graveyard = std::move(idle);
    idle.clear();
    if (link) link->givenUp = true;
    link.reset();
    away = true;
    awayError = PlainError(u"数据库服务器没有回答。", u"HYT00");
    retryAfter = std::chrono::steady_clock::now() + kRetryPause;
  }

  // A catalog listing (`list` fills the names) on a statement of its own, by the deadline.
  std::vector<std::u16string> Catalog(std::function<void(SQLHANDLE, std::vector<std::u16string>&)> list) {
    SQLHANDLE raw = SQL_NULL_HANDLE;
    if (!link || !Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, link->dbc.handle, &raw))) return {};
    auto statement = std::make_shared<Handle>(SQL_HANDLE_STMT, raw);
    auto names = std::make_shared<std::vector<std::u16string>>();
    SQLRETURN rc = SQL_ERROR;
    DbError ignored;
    if (!ByDeadline(
            [raw, names, list = std::move(list)] {
              list(raw, *names);
              return SQLRETURN(SQL_SUCCESS);
            },
            [&statement](Keep& keep) { keep.push_back(std::move(statement)); }, rc, ignored,
            [raw] { SQLCancel(raw); })) {
      return {};
    }
    return std::move(*names);
  }

  const std::vector<std::u16string>& PrimaryKey(const std::u16string& table);
  const std::vector<std::u16string>& Columns(const std::u16string& table);

 private:
  std::u16string connectString_;
  ConnectCheck check_;
};

bool Shared::Connect(DbSession& session, DbError& error) {
  retryAfter = std::chrono::steady_clock::now() + kRetryPause;
  auto next = std::make_shared<Link>();
  SQLHANDLE env = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    error = PlainError(u"不能启动 ODBC 驱动程序管理器。");
    return false;
  }
  next->env.type = SQL_HANDLE_ENV;
  next->env.handle = env;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLHANDLE dbc = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    error = Diagnose(SQL_HANDLE_ENV, env);
    return false;
  }
  next->dbc.type = SQL_HANDLE_DBC;
  next->dbc.handle = dbc;
  SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kOdbcLoginTimeoutSeconds), 0);
  SQLSetConnectAttrW(dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(kOdbcLoginTimeoutSeconds), 0);
  // A server that takes the connection and does not answer the login keeps
  // the driver past its login timeout: the connect runs by the deadline too.
  SQLRETURN rc = SQL_ERROR;
  Link* connecting = next.get();
  if (!ByDeadline(
          [connecting, dbc, in = connectString_]() mutable {
            SQLWCHAR out[2048];
            SQLSMALLINT outLength = 0;
            const SQLRETURN result =
                SQLDriverConnectW(dbc, nullptr, Wide(in), SQL_NTS, out, 2048, &outLength, SQL_DRIVER_NOPROMPT);
            connecting->connected = Succeeded(result);
            return result;
          },
          [&next](Keep& keep) { keep.push_back(std::move(next)); }, rc, error, nullptr, nullptr, kConnectDeadline)) {
    return false;
  }
  if (!Succeeded(rc)) {
    error = Diagnose(SQL_HANDLE_DBC, dbc);
    error.failure = LoginFailure(error);
    if (IsRefusal(error.failure)) {
      refusal = error.failure;
      refusalError = error;
      away = false;
      return false;
    }
    away = IsLinkFailure(error);
    if (away) awayError = error;
    return false;
  }
  retryAfter = std::chrono::steady_clock::time_point();
  // The drivers keep the server's name from the login: no wait.
  SQLWCHAR name[128] = {};
  SQLSMALLINT nameLength = 0;
  if (Succeeded(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, &nameLength))) {
    dbms = reinterpret_cast<const char16_t*>(name);
  }
  dialect = DialectFor(dbms);
  DropLink();
  link = std::move(next);
  away = false;
  keys.clear();
  columns.clear();
  if (check_ && !check_(session, error)) {
    if (!LinkBroke(error)) DropLink();
    return false;
  }
  return true;
}

const std::vector<std::u16string>& Shared::PrimaryKey(const std::u16string& table) {
  auto found = keys.find(table);
  if (found != keys.end()) return found->second;
  std::vector<std::u16string>& columns = keys[table];
  columns = Catalog([table](SQLHANDLE raw, std::vector<std::u16string>& columns) {
    std::u16string name = table;
    // Keys, or else the columns of the first unique index (drivers without SQLPrimaryKeys).
    bool listed = Succeeded(SQLPrimaryKeysW(raw, nullptr, 0, nullptr, 0, Wide(name), SQL_NTS));
    SQLUSMALLINT columnField = 4;
    if (!listed) {
      listed = Succeeded(SQLStatisticsW(raw, nullptr, 0, nullptr, 0, Wide(name), SQL_NTS, SQL_INDEX_UNIQUE,
                                        SQL_QUICK));
      columnField = 9;
    }
    std::u16string firstIndex;
    while (listed && Succeeded(SQLFetch(raw))) {
      SQLWCHAR column[256] = {};
      SQLLEN length = 0;
      if (!Succeeded(SQLGetData(raw, columnField, SQL_C_WCHAR, column, sizeof column, &length)) ||
          length == SQL_NULL_DATA) {
        continue;
      }
      if (columnField == 9) {
        SQLWCHAR index[256] = {};
        SQLGetData(raw, 6, SQL_C_WCHAR, index, sizeof index, &length);
        const std::u16string indexName = reinterpret_cast<const char16_t*>(index);
        if (firstIndex.empty()) firstIndex = indexName;
        if (indexName != firstIndex) continue;
      }
      columns.push_back(reinterpret_cast<const char16_t*>(column));
    }
  });
  return columns;
}

const std::vector<std::u16string>& Shared::Columns(const std::u16string& table) {
  auto found = columns.find(table);
  if (found != columns.end()) return found->second;
  std::vector<std::u16string>& names = columns[table];
  names = Catalog([table](SQLHANDLE raw, std::vector<std::u16string>& names) {
    std::u16string name = table;
    if (!Succeeded(SQLColumnsW(raw, nullptr, 0, nullptr, 0, Wide(name), SQL_NTS, nullptr, 0))) return;
    while (Succeeded(SQLFetch(raw))) {
      SQLWCHAR column[256] = {};
      SQLLEN length = 0;
      if (Succeeded(SQLGetData(raw, 4, SQL_C_WCHAR, column, sizeof column, &length)) && length != SQL_NULL_DATA) {
        names.push_back(reinterpret_cast<const char16_t*>(column));
      }
    }
  });
  return names;
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
  bool Execute(DbError& error) {
    if (!failure_.state.empty()) {
      error = failure_;
      return false;
    }
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

class OdbcSession final : public DbSession {
 public:
  explicit OdbcSession(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  ~OdbcSession() override {
    DbError ignored;
    if (shared_->inTransaction && shared_->link) shared_->EndTran(SQL_ROLLBACK, ignored);
    shared_->DropLink();
    shared_->closed = true;
  }

  std::unique_ptr<DbStatement> Prepare(const std::u16string& sql, DbError& error) override {
    if (!shared_->Ready(*this, error)) return nullptr;
    std::vector<size_t> order;
    std::u16string mapped = MapMarkers(sql, order);
    if (mapped.empty()) {
      error = PlainError(u"Only one statement can be run at a time", u"42000");
      return nullptr;
    }
    auto statement = std::make_unique<OdbcStatement>(shared_, *this, Respell(std::move(mapped), shared_->dialect),
                                                     std::move(order));
    if (!statement->PrepareOnLink(error)) {
      // A broken link is replaced when the statement runs.
      if (!shared_->LinkBroke(error) || !shared_->MayReconnect()) return nullptr;
    }
    return statement;
  }

  bool Execute(const std::u16string& sql, DbError& error) override {
    std::unique_ptr<DbStatement> statement = Prepare(sql, error);
    if (!statement || !statement->Bind({}, error)) return false;
    while (true) {
      const DbStep step = statement->Step(error);
      if (step == DbStep::Failed) return false;
      if (step == DbStep::Done) return true;
    }
  }

  bool BeginTransaction(DbError& error) override {
    // A link that broke while idle is found here, and replaced once.
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!shared_->Ready(*this, error)) return false;
      if (shared_->Autocommit(false, error)) {
        shared_->inTransaction = true;
        shared_->transactionWritten = false;
        return true;
      }
      if (!shared_->LinkBroke(error)) return false;
    }
    return false;
  }

  bool CommitTransaction(DbError& error) override { return EndTransaction(SQL_COMMIT, error); }
  bool RollbackTransaction(DbError& error) override { return EndTransaction(SQL_ROLLBACK, error); }

  int64_t ChangedRows() const override { return shared_->changed; }
  std::u16string Dbms() const override { return shared_->dbms; }
  bool ServerAway() const override { return shared_->away; }
  DbFailure Refusal() const override { return shared_->refusal; }
  void RetryLogin() override {
    shared_->refusal = DbFailure::Other;
    shared_->retryAfter = std::chrono::steady_clock::time_point();
  }
  void SkipRetryPause() override { shared_->retryAfter = std::chrono::steady_clock::time_point(); }
  // A server makes readers wait for no writer; its statements have their own timeouts.
  void SetBusyTimeout(int milliseconds) override { (void)milliseconds; }

 private:
  bool EndTransaction(SQLSMALLINT completion, DbError& error) {
    if (!shared_->inTransaction) {
      error = PlainError(u"没有进行中的事务。", u"25000");
      return false;
    }
    shared_->inTransaction = false;
    if (!shared_->link) {
      error = PlainError(u"与数据库服务器的连接在事务中断开了，事务里的修改没有保存。", u"08S01");
      return completion == SQL_ROLLBACK;
    }
    const bool ended = shared_->EndTran(completion, error);
    // A link that cannot go back to autocommit is replaced; what was committed stays so.
    DbError restore;
    if (!shared_->link || !shared_->Autocommit(true, restore)) {
      if (ended) {
        shared_->DropLink();
      } else {
        shared_->LinkBroke(error);
      }
      return ended;
    }
    if (!ended) shared_->LinkBroke(error);
    return ended;
  }

  std::shared_ptr<Shared> shared_;
};

}  // namespace

// The driver manager's list, read from its settings: no server.
std::vector<std::u16string> InstalledOdbcDrivers() {
  std::vector<std::u16string> drivers;
  SQLHANDLE env = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return drivers;
  Handle owner(SQL_HANDLE_ENV, env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLWCHAR name[512];
  SQLWCHAR attributes[2048];
  SQLSMALLINT nameLength = 0, attributesLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (Succeeded(SQLDriversW(env, direction, name, 512, &nameLength, attributes, 2048, &attributesLength))) {
    drivers.emplace_back(reinterpret_cast<const char16_t*>(name));
    direction = SQL_FETCH_NEXT;
  }
  return drivers;
}

std::unique_ptr<DbSession> OpenOdbcSession(const ConnectionSettings& settings, ConnectCheck check, DbError& error) {
  std::u16string connectString = settings.odbcString;
  std::u16string driver = ConnectionValue(connectString, u"Driver");
  if (!settings.driverChoices.empty()) {
    driver = ChooseDriver(settings.driverChoices, InstalledOdbcDrivers());
    if (driver.empty()) {
      error = PlainError(u"这台电脑没有安装数据库需要的 ODBC 驱动程序“" + settings.driverChoices.front() + u"”。" +
                             DriverDownloadHint(settings.driverChoices.front()),
                         u"IM002");
      return nullptr;
    }
    connectString = u"Driver={" + driver + u"};" + connectString;
  }
  auto shared = std::make_shared<Shared>(connectString, std::move(check));
  auto session = std::make_unique<OdbcSession>(shared);
  // A refused login is told by the session; it logs in again only when asked.
  if (shared->Connect(*session, error) || shared->away || IsRefusal(shared->refusal)) return session;
  if (error.state == u"IM002") {
    const std::u16string dsn = ConnectionValue(connectString, u"DSN");
    error.description = driver.empty() ? u"找不到 ODBC 数据源“" + dsn + u"”。请在“ODBC 数据源”设置里添加它。"
                                       : u"这台电脑没有安装 ODBC 驱动程序“" + driver + u"”。" + DriverDownloadHint(driver);
  }
  return nullptr;
}

}  // namespace kwo::store
