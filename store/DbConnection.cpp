#include "store/AdoErrors.h"
#include "store/ConnectionString.h"
#include "store/DbEngine.h"
#include "store/OdbcEngine.h"
#include "store/ShorthandTable.h"
#include "store/SqliteEngine.h"

namespace kwo::store {

bool DbConnection::Open(const std::u16string& connectionString, MissingFile missing, DbError& error) {
  Close();
  ConnectionSettings settings;
  std::u16string message;
  if (!ParseConnectionString(connectionString, settings, message)) {
    error = LayerError(kErrorFail, u"CADODataBase", message);
    return false;
  }
  std::unique_ptr<DbSession> session;
  if (settings.engine == Engine::Odbc) {
    // The table is checked at every connect: a server that is away at start is checked when it comes.
    session = OpenOdbcSession(settings, EnsureShorthandTable, error);
    if (!session) return false;
  } else {
    session = OpenSqliteSession(settings, missing == MissingFile::Create, error);
    if (!session || !EnsureShorthandTable(*session, error)) return false;
  }
  session_ = std::move(session);
  busyTimeoutMs_ = settings.busyTimeoutMs;
  ++generation_;
  return true;
}

ScopedBusyTimeout::ScopedBusyTimeout(const std::shared_ptr<DbConnection>& connection, int milliseconds)
    : connection_(connection), session_(connection ? connection->Session() : nullptr) {
  if (session_) session_->SetBusyTimeout(milliseconds < connection_->BusyTimeout() ? milliseconds
                                                                                   : connection_->BusyTimeout());
}

ScopedBusyTimeout::~ScopedBusyTimeout() {
  // Not when the connection was closed or reopened meanwhile: its session is another one then.
  if (session_ && connection_->Session() == session_) session_->SetBusyTimeout(connection_->BusyTimeout());
}

void DbConnection::Close() {
  if (!session_) return;
  session_.reset();
  ++generation_;
}

}  // namespace kwo::store
