#include "store/AdoDataBase.h"

#include "store/AdoErrors.h"

namespace kwo::store {

CADODataBase::CADODataBase() : connection_(std::make_shared<DbConnection>()) {}

CADODataBase::~CADODataBase() {
  Close();
  connection_.reset();
  connectionString_.clear();
  lastErrorText_.clear();
  lastErrorCode_ = 0;
}

bool CADODataBase::Open(const std::u16string& connectionString) {
  if (!connectionString.empty()) connectionString_ = connectionString;
  if (!connection_) {
    RecordError(LayerError(kErrorPointer, u"CADODataBase", u"There is no connection object"));
    return false;
  }
  DbError error;
  if (!connection_->Open(connectionString_, error)) {
    RecordError(error);
    return false;
  }
  return true;
}

void CADODataBase::Close() {
  if (connection_) connection_->Close();
}

bool CADODataBase::IsOpen() const { return connection_ && connection_->IsOpen(); }

std::shared_ptr<DbConnection> CADODataBase::Connection() const { return connection_; }

namespace {

template <typename Call>
bool RunTransactionStep(DbConnection* connection, DbError& error, Call call) {
  if (!connection) {
    error = LayerError(kErrorPointer, u"CADODataBase", u"There is no connection object");
    return false;
  }
  DbSession* session = connection->Session();
  if (!session) {
    error = LayerError(kErrorObjectClosed, u"CADODataBase", u"The connection is closed");
    return false;
  }
  return call(*session, error);
}

}  // namespace

bool CADODataBase::BeginTrans() {
  DbError error;
  if (RunTransactionStep(connection_.get(), error,
                         [](DbSession& s, DbError& e) { return s.BeginTransaction(e); }))
    return true;
  RecordError(error);
  return false;
}

bool CADODataBase::CommitTrans() {
  DbError error;
  if (RunTransactionStep(connection_.get(), error,
                         [](DbSession& s, DbError& e) { return s.CommitTransaction(e); }))
    return true;
  RecordError(error);
  return false;
}

bool CADODataBase::RollbackTrans() {
  DbError error;
  if (RunTransactionStep(connection_.get(), error,
                         [](DbSession& s, DbError& e) { return s.RollbackTransaction(e); }))
    return true;
  RecordError(error);
  return false;
}

void CADODataBase::RecordError(const DbError& error) {
  lastErrorCode_ = error.code;
  errorDescription_ = error.description;
  lastErrorText_ = u"Connection String = " + connectionString_ + u"\n" + FormatErrorBlock(u"CADODataBase", error);
}

}  // namespace kwo::store
