#pragma once
// Gives a select a row bound that a server applies itself, for engines whose
// driver takes in a whole result before the first row (psqlODBC). The bound
// is a "limit ?" marker; a union of ordered parts gets one per part as well,
// so that the server reads at most that many rows of each part instead of
// sorting all of them:
//   select a union all select b order by id
//   -> (select a order by id limit ?) union all (select b order by id limit ?) order by id limit ?
// The statement comes with "?" markers only; `order` holds, for each marker in
// turn, the parameter it takes. The added markers take kRowBoundParameter.
#include <cstddef>
#include <string>
#include <vector>

namespace kwo::store {

constexpr size_t kRowBoundParameter = static_cast<size_t>(-1);

// False, with nothing changed, for a statement that is not a select.
bool AddRowBound(std::u16string& sql, std::vector<size_t>& order);

}  // namespace kwo::store
