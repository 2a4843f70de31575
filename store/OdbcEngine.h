#pragma once
// The ODBC engine behind DbSession: odbc32 on Windows, unixODBC elsewhere.
// It serves any database that has an ODBC driver (PostgreSQL, SQL Server,
// Access, SQLite). Statements use "?" markers; the layer's "?1", "?2" are
// mapped onto them. A database server that cannot be reached does not stop
// the session: it is connected again at the next statement, with short login
// and query timeouts so that a search never waits long for a missing server,
// and no call waits for a server that stopped answering longer than a
// deadline. The engine's files: OdbcSession.cpp (the session and this
// header's functions), OdbcStatement (a statement), OdbcLink (the link,
// reconnect and the deadline), OdbcHandles.h (handle ownership),
// OdbcDiagnostics (the driver's errors), SqlRewrite (the SQL as drivers take it).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/ConnectionString.h"
#include "store/DbEngine.h"

namespace kwo::store {

// Run after every successful connect (the table check); a false result ends the connect.
using ConnectCheck = std::function<bool(DbSession&, DbError&)>;

// Connects with settings.odbcString (behind the first installed driver of
// settings.driverChoices). nullptr with the error filled when the driver is
// missing, the login is refused or the check fails. A server that does not
// answer gives a session that is away (ServerAway()) instead.
std::unique_ptr<DbSession> OpenOdbcSession(const ConnectionSettings& settings, ConnectCheck check, DbError& error);

// What a SQLSTATE says about a refusal (ODBC's own classes and PostgreSQL's).
DbFailure OdbcFailure(const std::u16string& state);

// A failed login told apart from a server that cannot be reached: SQLSTATE
// class 28 and 3D000, SQL Server's logins 18456 and 4060, and psqlODBC, which
// reports all as 08001, by the server's words in English and Chinese.
// Otherwise the error's own failure.
DbFailure LoginFailure(const DbError& error);

// The names of the installed ODBC drivers.
std::vector<std::u16string> InstalledOdbcDrivers();

// Seconds a login or a search statement may take.
constexpr int kOdbcLoginTimeoutSeconds = 2;
constexpr int kOdbcSearchTimeoutSeconds = 2;

}  // namespace kwo::store
