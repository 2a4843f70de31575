#include "store/AdoDataBase.h"

#include "store/AdoErrors.h"
#include "store/ConnectionString.h"

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
  // The program's own store: a missing file is made, with an empty table.
  if (!connection_->Open(connectionString_, MissingFile::Create, error)) {
    RecordError(error);
    return false;
  }
  return true;
}

void CADODataBase::Close() {
  if (connection_) connection_->Close();
}

bool CADODataBase::IsOpen() const { return connection_ && connection_->IsOpen(); }

bool CADODataBase::ServerAway() const { return connection_ && connection_->ServerAway(); }

DbFailure CADODataBase::Refusal() const { return connection_ ? connection_->Refusal() : DbFailure::Other; }

void CADODataBase::RetryLogin() {
  if (DbSession* session = connection_ ? connection_->Session() : nullptr) session->RetryLogin();
}

std::shared_ptr<DbConnection> CADODataBase::Connection() const { return connection_; }

bool CADODataBase::RunTransactionStep(bool (DbSession::*step)(DbError&)) {
  DbError error;
  if (!connection_) {
    error = LayerError(kErrorPointer, u"CADODataBase", u"There is no connection object");
  } else if (DbSession* session = connection_->Session()) {
    if ((session->*step)(error)) return true;
  } else {
    error = LayerError(kErrorObjectClosed, u"CADODataBase", u"The connection is closed");
  }
  RecordError(error);
  return false;
}

bool CADODataBase::BeginTrans() { return RunTransactionStep(&DbSession::BeginTransaction); }
bool CADODataBase::CommitTrans() { return RunTransactionStep(&DbSession::CommitTransaction); }
bool CADODataBase::RollbackTrans() { return RunTransactionStep(&DbSession::RollbackTransaction); }

void CADODataBase::RecordError(const DbError& error) {
  lastErrorCode_ = error.code;
  lastFailure_ = error.failure;
  // A driver may echo the string it was given in its message.
  DbError told = error;
  told.description = HideSecrets(error.description, connectionString_);
  errorDescription_ = told.description;
  lastErrorText_ = u"Connection String = " + MaskPasswords(connectionString_) + u"\n" + FormatErrorBlock(u"CADODataBase", told);
}

}  // namespace kwo::store
