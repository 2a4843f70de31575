#include "store/OdbcLink.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace kwo::store::odbc {
namespace {

const std::vector<std::u16string> kNothingListed;

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

}  // namespace

bool Shared::Ready(DbSession& session, DbError& error) {
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

bool Shared::Autocommit(bool on, DbError& error) {
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

bool Shared::EndTran(SQLSMALLINT completion, DbError& error) {
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

bool Shared::LinkBroke(DbError& error) {
  // psqlODBC words some failures of a lost link as its own ("internal
  // SAVEPOINT failed"): said as what they are.
  if (link && !IsLinkFailure(error) && !link->Dead() && (!MayBeLinkFailure(error) || LinkAnswers())) return false;
  if (error.failure == DbFailure::Other) error.failure = DbFailure::Unreachable;
  if (!link) return true;
  DropLink();
  away = true;
  awayError = error;
  return true;
}

bool Shared::LinkAnswers() {
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

bool Shared::ByDeadline(std::function<SQLRETURN()> call, const std::function<void(Keep&)>& handOver, SQLRETURN& rc,
                  DbError& error, std::function<void()> cancel, bool* cancelled,
                  std::chrono::milliseconds deadline) {
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

void Shared::AbandonLink(std::multimap<std::u16string, std::unique_ptr<Handle>>& graveyard) {
  graveyard = std::move(idle);
  idle.clear();
  if (link) link->givenUp = true;
  link.reset();
  away = true;
  awayError = PlainError(u"数据库服务器没有回答。", u"HYT00");
  retryAfter = std::chrono::steady_clock::now() + kRetryPause;
}

std::vector<std::u16string> Shared::Catalog(std::function<SQLRETURN(SQLHANDLE, std::vector<std::u16string>&)> list,
                                            bool& listed) {
  listed = false;
  SQLHANDLE raw = SQL_NULL_HANDLE;
  if (!link || !Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, link->dbc.handle, &raw))) return {};
  auto statement = std::make_shared<Handle>(SQL_HANDLE_STMT, raw);
  auto names = std::make_shared<std::vector<std::u16string>>();
  SQLRETURN rc = SQL_ERROR;
  DbError error;
  if (!ByDeadline([raw, names, list = std::move(list)] { return list(raw, *names); },
                  [&statement](Keep& keep) { keep.push_back(std::move(statement)); }, rc, error,
                  [raw] { SQLCancel(raw); })) {
    return {};
  }
  if (!Succeeded(rc)) {
    error = Diagnose(SQL_HANDLE_STMT, raw);
    statement.reset();  // before its link may go
    LinkBroke(error);
    return {};
  }
  listed = true;
  return std::move(*names);
}

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
  bool listed = false;
  std::vector<std::u16string> columns = Catalog([table](SQLHANDLE raw, std::vector<std::u16string>& columns) {
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
    return listed ? SQLRETURN(SQL_SUCCESS) : SQLRETURN(SQL_ERROR);
  }, listed);
  // What a failed listing did not find is asked for again next time.
  if (!listed) return kNothingListed;
  return keys[table] = std::move(columns);
}

const std::vector<std::u16string>& Shared::Columns(const std::u16string& table) {
  auto found = columns.find(table);
  if (found != columns.end()) return found->second;
  bool listed = false;
  std::vector<std::u16string> names = Catalog([table](SQLHANDLE raw, std::vector<std::u16string>& names) {
    std::u16string name = table;
    const SQLRETURN rc = SQLColumnsW(raw, nullptr, 0, nullptr, 0, Wide(name), SQL_NTS, nullptr, 0);
    if (!Succeeded(rc)) return rc;
    while (Succeeded(SQLFetch(raw))) {
      SQLWCHAR column[256] = {};
      SQLLEN length = 0;
      if (Succeeded(SQLGetData(raw, 4, SQL_C_WCHAR, column, sizeof column, &length)) && length != SQL_NULL_DATA) {
        names.push_back(reinterpret_cast<const char16_t*>(column));
      }
    }
    return SQLRETURN(SQL_SUCCESS);
  }, listed);
  if (!listed) return kNothingListed;
  return columns[table] = std::move(names);
}

}  // namespace kwo::store::odbc
