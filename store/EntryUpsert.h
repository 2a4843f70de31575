#pragma once
// Stores entries one after another by their short-key id, for writers of many
// rows (import): an id that exists gets its content replaced and keeps its
// key; a new id gets a new row. One upsert statement is prepared once and run
// with bound parameters for every entry, so a long run inside one
// transaction costs little more than the rows themselves. Engines or tables
// that do not take the statement (no unique id, no "on conflict") are left
// to the recordset's save: Available() tells which.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/DbEngine.h"

namespace kwo::store {

class EntryUpsert {
 public:
  explicit EntryUpsert(std::shared_ptr<DbConnection> connection);
  EntryUpsert(const EntryUpsert&) = delete;
  EntryUpsert& operator=(const EntryUpsert&) = delete;

  // True when the upsert statement could be prepared on the open session.
  bool Available();
  // Only after Available() said yes on the same session. False with the
  // error filled when the database refused the row.
  bool Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error);

 private:
  // The open session (statements of an earlier one dropped), or nullptr.
  DbSession* Session();

  std::shared_ptr<DbConnection> connection_;
  uint64_t generation_ = 0;
  bool tried_ = false;  // the upsert was prepared, or refused, on this session
  std::unique_ptr<DbStatement> upsert_;
};

}  // namespace kwo::store
