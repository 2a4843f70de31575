#pragma once
// The SQLite engine behind DbSession: one database file, prepared statements
// kept for reuse, a rollback journal (safe on a network share), full
// synchronisation and a busy timeout so that two processes on one file wait
// for each other.
#include <memory>

#include "store/ConnectionString.h"
#include "store/DbEngine.h"

namespace kwo::store {

// Opens the file that settings.dataSource names, making it when it is missing
// and `create` is set; nullptr with the error filled on failure.
std::unique_ptr<DbSession> OpenSqliteSession(const ConnectionSettings& settings, bool create, DbError& error);

// What an SQLite result code (extended or primary) says about a refusal.
DbFailure SqliteFailure(uint32_t code);

}  // namespace kwo::store
