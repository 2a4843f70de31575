// The ODBC session (store/OdbcEngine.h): its statements, transactions and
// the state of its link, which it shares with its statements.
#include "store/OdbcEngine.h"

#include <chrono>
#include <memory>
#include <utility>

#include "store/OdbcLink.h"
#include "store/OdbcStatement.h"
#include "store/SqlRewrite.h"

namespace kwo::store {
namespace {

using odbc::Handle;
using odbc::PlainError;
using odbc::PrepareStatement;
using odbc::Shared;
using odbc::Succeeded;

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
    return PrepareStatement(shared_, *this, Respell(std::move(mapped), shared_->dialect), std::move(order), error);
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
