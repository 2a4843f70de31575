#include "store/Transaction.h"

namespace kwo::store {

Transaction::Transaction(CADODataBase& database) : database_(database), active_(database.BeginTrans()) {
  if (!active_) {
    error_ = database_.ErrorDescription();
    failure_ = database_.LastFailure();
  }
}

Transaction::~Transaction() {
  if (active_) database_.RollbackTrans();
}

bool Transaction::Commit() {
  if (!active_) return false;
  active_ = false;
  if (database_.CommitTrans()) return true;
  // A refused commit (a reader still holds its lock) leaves the transaction open.
  error_ = database_.ErrorDescription();
  failure_ = database_.LastFailure();
  database_.RollbackTrans();
  return false;
}

}  // namespace kwo::store
