#pragma once
// A statement of an ODBC session: prepared once per link and kept for the
// next statement of the same text, its parameters bound, run by the
// deadline, its rows read through bound buffers where the driver allows.
#include <memory>
#include <string>
#include <vector>

#include "store/DbEngine.h"
#include "store/OdbcLink.h"

namespace kwo::store::odbc {

// The statement (plain "?" markers, `order` the parameter of each) prepared
// on the session's link; a link found broken is replaced when it runs.
// nullptr with the error filled when it cannot be prepared.
std::unique_ptr<DbStatement> PrepareStatement(const std::shared_ptr<Shared>& shared, DbSession& session,
                                              std::u16string sql, std::vector<size_t> order, DbError& error);

}  // namespace kwo::store::odbc
