#pragma once
// One transaction on a connection, for every writer: begun in the
// constructor, rolled back in the destructor unless committed, so that an
// early return or an exception leaves the database as it was.
#include <cstdint>
#include <string>

#include "store/AdoDataBase.h"

namespace kwo::store {

class Transaction {
 public:
  // Begins at once. The engine waits for a lock held by another program up
  // to the connection's busy timeout; Active() is false when it gave up (the
  // database's error record says why).
  explicit Transaction(CADODataBase& database);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool Active() const { return active_; }
  // False when the transaction never began or the commit was refused; in
  // both cases nothing of it is in the database.
  bool Commit();
  // The engine's words for a begin or commit that failed; empty otherwise.
  const std::u16string& Error() const { return error_; }
  // Why it failed, as the engine judged it; Other when it did not fail.
  DbFailure Failure() const { return failure_; }

 private:
  CADODataBase& database_;
  bool active_;
  std::u16string error_;
  DbFailure failure_ = DbFailure::Other;
};

}  // namespace kwo::store
