#pragma once
// Ownership of the ODBC handles: a handle freed with its owner, and a link
// (an environment and a connection) disconnected with it.
#include <memory>
#include <vector>

#include "store/OdbcDiagnostics.h"

namespace kwo::store::odbc {

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

}  // namespace kwo::store::odbc
