#pragma once
// The data-access layer: one connection (CADODataBase) and a result set that
// runs one statement at a time on it (CADORecordset). Success is reported as a
// boolean; the details of the last failure stay in an error record. The
// database engine sits behind DbConnection (store/DbEngine.h), so another
// engine can take SQLite's place without touching the callers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/DbEngine.h"

namespace kwo::store {

class CADODataBase {
 public:
  CADODataBase();
  virtual ~CADODataBase();
  CADODataBase(const CADODataBase&) = delete;
  CADODataBase& operator=(const CADODataBase&) = delete;

  // Closes an open connection, remembers a non-empty string, opens. An empty
  // argument reopens the remembered string. See store/ConnectionString.h.
  bool Open(const std::u16string& connectionString);
  void Close();
  bool IsOpen() const;
  // Open, but the database server cannot be reached at the moment: every
  // statement tries to connect again (see store/OdbcEngine.h).
  bool ServerAway() const;
  // LoginRefused or DatabaseMissing while the server refuses this login; Other otherwise.
  DbFailure Refusal() const;
  // Lets the session log in again at the next statement, after a refusal.
  void RetryLogin();
  // Shared with every recordset that runs on this connection; may be empty.
  std::shared_ptr<DbConnection> Connection() const;

  // One transaction around many writes (import); false with the error record filled.
  bool BeginTrans();
  bool CommitTrans();
  bool RollbackTrans();

  // The string as given; never show it: store::MaskPasswords first.
  const std::u16string& ConnectionString() const { return connectionString_; }
  const std::u16string& LastErrorText() const { return lastErrorText_; }
  const std::u16string& ErrorDescription() const { return errorDescription_; }
  uint32_t LastErrorCode() const { return lastErrorCode_; }
  DbFailure LastFailure() const { return lastFailure_; }

 private:
  void RecordError(const DbError& error);
  bool RunTransactionStep(bool (DbSession::*step)(DbError&));

  std::shared_ptr<DbConnection> connection_;
  std::u16string connectionString_;
  std::u16string lastErrorText_;
  std::u16string errorDescription_;
  uint32_t lastErrorCode_ = 0;
  DbFailure lastFailure_ = DbFailure::Other;
};

struct RowWrite;  // store/RowWrites.h

enum class EditStatus { None = 0, New = 1, Edit = 2 };

enum StatementKind { kStatementDefault = 0, kStatementQuery = 1, kStatementTable = 2, kStatementStoredProc = 3 };

class CADORecordset {
 public:
  CADORecordset();
  virtual ~CADORecordset();
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  void SetConnection(std::shared_ptr<DbConnection> connection);
  // At most this many rows are read from the next results (0: all): the
  // fetch stops there, and a database server is asked for no more.
  void SetMaxRecords(uint32_t rows) { maxRecords_ = rows; }
  // Runs the statement with its parameters bound (?1, ?2, ...); an empty
  // statement reruns the stored one. Binds the connection first if the
  // recordset has none. Closes the previous result first.
  // Rows are fetched as they are reached, so a long listing is never held
  // whole; RecordCount fetches the rest.
  bool Open(std::shared_ptr<DbConnection> connection, const std::u16string& statement,
            int kind = kStatementDefault, std::vector<DbValue> parameters = {});
  void Close();
  bool IsOpen() const;

  uint32_t RecordCount();
  bool AtEnd();
  void MoveFirst();
  // False when there is no row to move from or the next row cannot be read;
  // moving past the last row is true.
  bool MoveNext();

  // Field of the current row by zero-based position, as text. False leaves `text` unchanged.
  bool FieldText(int index, std::u16string& text, const std::u16string& dateFormat = std::u16string());
  // Writes a field of the current (new or edited) row; stored by Update.
  bool SetFieldText(int index, const std::u16string& text);

  // Writes go to the table the result's columns come from; an edited or
  // deleted row is found by the table's primary key (by all its columns when
  // the result lacks it). A failure never escapes: it is recorded and the
  // operation reports false (RecordCount 0, AtEnd true).
  // A new row whose key another user stored in the meantime (a duplicate
  // key) is written over that row instead. A number too large for its column
  // (an id above 2,147,483,647 in a 32-bit Access Long) is refused, never cut.
  bool AddNew();
  void BeginEdit();
  bool Update();
  bool Delete();

  EditStatus GetEditStatus() const { return editStatus_; }
  const std::u16string& Statement() const { return statement_; }
  const std::u16string& LastErrorText() const { return lastErrorText_; }
  const std::u16string& ErrorDescription() const { return errorDescription_; }
  uint32_t LastErrorCode() const { return lastErrorCode_; }
  DbFailure LastFailure() const { return lastFailure_; }

 private:
  struct Impl;
  void RecordError(const DbError& error);
  void RecordNotUpdatable(const std::u16string& description);
  bool RequireOpen();
  bool RequireRow();
  bool Fetch(size_t count);
  bool EnsureCurrent();
  bool Rerun();
  bool StoreNewRow();
  bool RunWrite(const RowWrite& write, bool oneRow);
  bool StoreEditedRow();
  bool FitsColumns();
  bool OverwriteRaceWinner();
  void CancelEdit();

  std::unique_ptr<Impl> impl_;
  std::shared_ptr<DbConnection> connection_;
  EditStatus editStatus_ = EditStatus::None;
  std::u16string lastErrorText_;
  std::u16string errorDescription_;
  std::u16string lastErrorState_;
  uint32_t lastErrorCode_ = 0;
  DbFailure lastFailure_ = DbFailure::Other;
  std::u16string statement_;
  uint32_t maxRecords_ = 0;
};

}  // namespace kwo::store
