#pragma once
// What an ODBC driver says, turned into the store's errors, and the small
// helpers every file of the ODBC engine uses.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <string>

#include "store/DbEngine.h"

namespace kwo::store::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters must be UTF-16 code units");

inline SQLWCHAR* Wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(&s[0]); }

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// The driver's diagnostic records of the handle: the first one's state and
// code, the texts of the first four.
DbError Diagnose(SQLSMALLINT type, SQLHANDLE handle);

// An error of the engine's own, with the state it stands for.
DbError PlainError(const std::u16string& description, const std::u16string& state = u"HY000");

// The server cannot be reached, or the link to it broke.
bool IsLinkFailure(const DbError& error);

// A general failure, or one without a record: psqlODBC reports a session the
// server ended in these words too.
bool MayBeLinkFailure(const DbError& error);

}  // namespace kwo::store::odbc
