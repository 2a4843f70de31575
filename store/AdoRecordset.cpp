#include <cstdio>
#include <deque>
#include <optional>

#include "store/AdoDataBase.h"
#include "store/AdoErrors.h"
#include "store/RowWrites.h"
#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

using Row = std::vector<DbField>;

constexpr size_t kFetchBatch = 64;
constexpr char16_t kSource[] = u"CADORecordset";

std::u16string FormatReal(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.20g", value);
  return text::Ascii(buffer);
}

DbField TextField(const std::u16string& value) { return DbField{DbType::Text, value}; }

}  // namespace

struct CADORecordset::Impl {
  std::shared_ptr<DbConnection> connection;  // the one the result was opened on
  uint64_t generation = 0;
  std::unique_ptr<DbStatement> statement;     // kept until Close for MoveFirst and the column origins
  std::vector<DbValue> parameters;
  bool open = false;
  int columnCount = 0;
  std::vector<DbColumnOrigin> origins;
  bool originsKnown = false;

  std::deque<Row> rows;  // fetched rows; rows[0] is row number `first` of the result
  size_t first = 0;
  size_t position = 0;   // the current row's number; past the last row at the end
  bool exhausted = false;
  bool keepAll = false;  // set by RecordCount: rows are kept for MoveFirst
  bool onDeletedRow = false;  // the current row was deleted; MoveNext goes on to the row after it
  size_t limit = 0;      // rows to read at most; 0 for all

  std::vector<std::optional<std::u16string>> pending;  // field texts of the new or edited row

  size_t end() const { return first + rows.size(); }
  Row* current() { return position >= first && position < end() ? &rows[position - first] : nullptr; }

  const std::vector<DbColumnOrigin>& Origins() {
    if (!originsKnown && statement) {
      origins.clear();
      for (int i = 0; i < columnCount; ++i) origins.push_back(statement->Origin(i));
      originsKnown = true;
    }
    return origins;
  }

  void Release() {
    statement.reset();
    rows.clear();
    pending.clear();
    origins.clear();
    originsKnown = false;
    first = position = 0;
    exhausted = keepAll = open = onDeletedRow = false;
    columnCount = 0;
    connection.reset();
  }
};

CADORecordset::CADORecordset() : impl_(std::make_unique<Impl>()) {}

CADORecordset::~CADORecordset() { Close(); }

void CADORecordset::SetConnection(std::shared_ptr<DbConnection> connection) { connection_ = std::move(connection); }

bool CADORecordset::Open(std::shared_ptr<DbConnection> connection, const std::u16string& statement, int kind,
                         std::vector<DbValue> parameters) {
  Close();
  impl_->Release();
  if (!statement.empty()) {
    statement_ = statement;
    impl_->parameters = std::move(parameters);
  } else if (!parameters.empty()) {
    impl_->parameters = std::move(parameters);
  }
  if (!connection_) connection_ = connection;
  size_t lead = 0;
  while (lead < statement_.size() && text::IsSpace(statement_[lead])) ++lead;
  statement_.erase(0, lead);

  std::u16string sql;
  switch (kind) {
    case kStatementDefault:
    case kStatementQuery: sql = statement_; break;
    case kStatementTable: sql = u"select * from " + QuoteName(statement_); break;
    case kStatementStoredProc:
      RecordError(LayerError(kErrorFail, kSource, u"Stored procedures are not supported"));
      return false;
    default: return false;
  }

  std::shared_ptr<DbConnection> target = connection ? connection : connection_;
  if (!target) {
    RecordError(LayerError(kErrorPointer, kSource, u"There is no connection object"));
    return false;
  }
  DbSession* session = target->Session();
  if (!session) {
    RecordError(LayerError(kErrorObjectClosed, kSource, u"The connection is closed"));
    return false;
  }
  DbError error;
  std::unique_ptr<DbStatement> prepared = session->Prepare(sql, error);
  if (prepared) prepared->LimitRows(static_cast<int>(maxRecords_));
  if (!prepared || !prepared->Bind(impl_->parameters, error)) {
    RecordError(error);
    return false;
  }
  impl_->connection = target;
  impl_->generation = target->Generation();
  impl_->statement = std::move(prepared);
  impl_->limit = maxRecords_;
  impl_->columnCount = impl_->statement->ColumnCount();
  impl_->open = true;
  if (!Fetch(kFetchBatch)) {
    impl_->Release();
    return false;
  }
  return true;
}

void CADORecordset::Close() {
  if (!impl_->open) return;
  if (editStatus_ != EditStatus::None) CancelEdit();
  impl_->Release();
}

bool CADORecordset::IsOpen() const {
  return impl_->open && impl_->connection && impl_->connection->IsOpen() &&
         impl_->connection->Generation() == impl_->generation;
}

bool CADORecordset::RequireOpen() {
  if (IsOpen()) return true;
  RecordError(LayerError(kErrorObjectClosed, kSource, u"The recordset is not open"));
  return false;
}

bool CADORecordset::RequireRow() {
  if (!RequireOpen()) return false;
  if (!EnsureCurrent()) return false;
  if (impl_->current() && !impl_->onDeletedRow) return true;
  RecordError(LayerError(kErrorNoCurrentRecord, kSource, u"There is no current row"));
  return false;
}

// Steps up to `count` more rows into the buffer; the statement is reset as
// soon as the last row is read, so no read lock outlives the result.
bool CADORecordset::Fetch(size_t count) {
  Impl& d = *impl_;
  if (d.exhausted || !d.statement) return true;
  if (!d.keepAll) {
    while (d.first < d.position && !d.rows.empty()) {
      d.rows.pop_front();
      ++d.first;
    }
  }
  for (size_t n = 0; n < count; ++n) {
    DbError error;
    const DbStep step = d.limit > 0 && d.end() >= d.limit ? DbStep::Done : d.statement->Step(error);
    if (step == DbStep::Row) {
      Row row;
      row.reserve(static_cast<size_t>(d.columnCount));
      for (int i = 0; i < d.columnCount; ++i) row.push_back(d.statement->TakeColumn(i));
      d.rows.push_back(std::move(row));
      continue;
    }
    d.statement->Reset();
    d.exhausted = true;
    if (step == DbStep::Failed) {
      RecordError(error);
      return false;
    }
    break;
  }
  return true;
}

bool CADORecordset::EnsureCurrent() {
  if (impl_->position < impl_->end() || impl_->exhausted) return true;
  return Fetch(kFetchBatch);
}

bool CADORecordset::Rerun() {
  Impl& d = *impl_;
  DbError error;
  d.rows.clear();
  d.first = d.position = 0;
  d.exhausted = d.onDeletedRow = false;
  if (!d.statement->Bind(d.parameters, error)) {
    RecordError(error);
    d.exhausted = true;
    return false;
  }
  return Fetch(kFetchBatch);
}

uint32_t CADORecordset::RecordCount() {
  if (!RequireOpen()) return 0;
  impl_->keepAll = true;
  while (!impl_->exhausted) {
    if (!Fetch(kFetchBatch)) break;
  }
  return static_cast<uint32_t>(impl_->end());
}

bool CADORecordset::AtEnd() {
  if (!RequireOpen()) return true;
  if (editStatus_ == EditStatus::New || impl_->onDeletedRow) return false;
  EnsureCurrent();
  return impl_->current() == nullptr;
}

void CADORecordset::MoveFirst() {
  if (!RequireOpen()) return;
  CancelEdit();
  impl_->onDeletedRow = false;
  if (impl_->first == 0) {
    impl_->position = 0;
    EnsureCurrent();
  } else {
    Rerun();
  }
}

bool CADORecordset::MoveNext() {
  if (!RequireOpen()) return false;
  CancelEdit();
  if (impl_->onDeletedRow) {  // the row after the deleted one has taken its place
    impl_->onDeletedRow = false;
    return EnsureCurrent();
  }
  if (!RequireRow()) return false;
  ++impl_->position;
  return EnsureCurrent();
}

bool CADORecordset::FieldText(int index, std::u16string& text, const std::u16string& dateFormat) {
  (void)dateFormat;  // SQLite has no date type: dates are stored as text
  if (!RequireOpen()) return false;
  if (index < 0 || index >= impl_->columnCount) {
    RecordError(LayerError(kErrorItemNotFound, kSource, u"There is no field at that position"));
    return false;
  }
  const size_t column = static_cast<size_t>(index);
  if (editStatus_ != EditStatus::None && column < impl_->pending.size() && impl_->pending[column]) {
    text = *impl_->pending[column];
    return true;
  }
  if (editStatus_ == EditStatus::New) {
    text.clear();
    return true;
  }
  if (!RequireRow()) return false;
  const DbField& field = (*impl_->current())[column];
  switch (field.type) {
    case DbType::Null: text.clear(); return true;
    case DbType::Integer: text = text::FormatDecimal(std::get<int64_t>(field.value)); return true;
    case DbType::Real: text = FormatReal(std::get<double>(field.value)); return true;
    case DbType::Text: text = std::get<std::u16string>(field.value); return true;
    case DbType::Blob: break;
  }
  return false;
}

bool CADORecordset::SetFieldText(int index, const std::u16string& text) {
  if (!RequireOpen()) return false;
  if (index < 0 || index >= impl_->columnCount) {
    RecordError(LayerError(kErrorItemNotFound, kSource, u"There is no field at that position"));
    return false;
  }
  if (editStatus_ != EditStatus::New && !RequireRow()) return false;
  impl_->pending.resize(static_cast<size_t>(impl_->columnCount));
  impl_->pending[static_cast<size_t>(index)] = text;
  return true;
}

bool CADORecordset::AddNew() {
  editStatus_ = EditStatus::None;
  impl_->pending.clear();
  if (!RequireOpen()) return false;
  impl_->pending.resize(static_cast<size_t>(impl_->columnCount));
  editStatus_ = EditStatus::New;
  return true;
}

void CADORecordset::BeginEdit() {
  if (editStatus_ == EditStatus::New) impl_->pending.clear();
  editStatus_ = EditStatus::Edit;
}

void CADORecordset::CancelEdit() {
  impl_->pending.clear();
  editStatus_ = EditStatus::None;
}

bool CADORecordset::Update() {
  if (editStatus_ == EditStatus::None) return true;
  bool stored = false;
  if (RequireOpen()) stored = editStatus_ == EditStatus::New ? StoreNewRow() : StoreEditedRow();
  CancelEdit();
  return stored;
}

bool CADORecordset::RunWrite(const RowWrite& write, bool oneRow) {
  DbSession* session = impl_->connection->Session();
  DbError error;
  std::unique_ptr<DbStatement> statement = session->Prepare(write.sql, error);
  if (!statement || !statement->Bind(write.parameters, error) || statement->Step(error) == DbStep::Failed) {
    RecordError(error);
    return false;
  }
  statement->Reset();
  if (oneRow && session->ChangedRows() == 0) {
    RecordError(LayerError(kErrorFail, kSource, u"The row is gone: another user changed or deleted it"));
    return false;
  }
  return true;
}

// Refuses a whole number that the column cannot hold, so that no row is
// stored under a number the database cut or wrapped.
bool CADORecordset::FitsColumns() {
  const std::vector<DbColumnOrigin>& origins = impl_->Origins();
  for (size_t c = 0; c < impl_->pending.size() && c < origins.size(); ++c) {
    if (!impl_->pending[c] || !origins[c].narrowInteger) continue;
    const DbValue value = ParameterFor(origins[c], *impl_->pending[c]);
    const auto* number = std::get_if<int64_t>(&value);
    if (number && (*number > INT32_MAX || *number < INT32_MIN)) {
      RecordError(LayerError(kErrorFail, kSource,
                             u"数据库表的 " + origins[c].column + u" 列是 32 位整数（Access 的“长整型”），存不下 " +
                                 *impl_->pending[c] + u"（从 TYTZAL 起的六位速记符都是这样）。请把这一列改为" +
                                 u"“双精度型”（Double）或 Decimal，之后就能保存了。"));
      return false;
    }
  }
  return true;
}

// The insert lost a race: another user stored the same key first. The row is
// written over instead, as if this user had saved second.
bool CADORecordset::OverwriteRaceWinner() {
  Impl& d = *impl_;
  const std::vector<DbColumnOrigin>& origins = d.Origins();
  Row keyRow(static_cast<size_t>(d.columnCount));
  PendingFields values(d.pending.size());
  bool haveKey = false;
  for (size_t c = 0; c < d.pending.size() && c < origins.size() && c < keyRow.size(); ++c) {
    if (!d.pending[c]) continue;
    if (origins[c].primaryKey) {
      keyRow[c] = TextField(*d.pending[c]);
      haveKey = true;
    } else {
      values[c] = d.pending[c];
    }
  }
  RowWrite write;
  return haveKey && UpdateStatement(origins, values, keyRow, write) && RunWrite(write, true);
}

bool CADORecordset::StoreNewRow() {
  Impl& d = *impl_;
  RowWrite write;
  if (!InsertStatement(d.Origins(), d.pending, write)) {
    RecordNotUpdatable(u"The fields do not come from one table");
    return false;
  }
  if (!FitsColumns()) return false;
  if (!RunWrite(write, false)) {
    if (!IsDuplicateKey(lastErrorState_)) return false;
    // The insert's own failure is the one to report if the row cannot be written over either.
    const uint32_t code = lastErrorCode_;
    const DbFailure failure = lastFailure_;
    const std::u16string text = lastErrorText_, description = errorDescription_, state = lastErrorState_;
    if (!OverwriteRaceWinner()) {
      lastErrorCode_ = code;
      lastFailure_ = failure;
      lastErrorText_ = text;
      errorDescription_ = description;
      lastErrorState_ = state;
      return false;
    }
  }
  if (d.exhausted) {  // the new row joins the result as its last row, as a static cursor shows it
    Row row(static_cast<size_t>(d.columnCount));
    for (size_t c = 0; c < row.size() && c < d.pending.size(); ++c) {
      if (d.pending[c]) row[c] = TextField(*d.pending[c]);
    }
    d.rows.push_back(std::move(row));
    d.position = d.end() - 1;
  }
  return true;
}

// The columns' table could not be told: because the server stopped
// answering while it was asked, the write failed for that reason.
void CADORecordset::RecordNotUpdatable(const std::u16string& description) {
  DbError error = LayerError(kErrorNotUpdatable, kSource, description);
  if (impl_->connection && impl_->connection->ServerAway()) {
    error.failure = DbFailure::Unreachable;
    error.description = u"数据库服务器没有回答。";
  }
  RecordError(error);
}

bool CADORecordset::StoreEditedRow() {
  Impl& d = *impl_;
  if (!RequireRow()) return false;
  bool changed = false;
  for (const auto& field : d.pending) changed = changed || field.has_value();
  if (!changed) return true;
  Row& row = *d.current();
  RowWrite write;
  if (!UpdateStatement(d.Origins(), d.pending, row, write)) {
    RecordNotUpdatable(u"The fields do not come from one table");
    return false;
  }
  if (!RunWrite(write, true)) return false;
  for (size_t c = 0; c < d.pending.size(); ++c) {
    if (d.pending[c]) row[c] = TextField(*d.pending[c]);
  }
  return true;
}

bool CADORecordset::Delete() {
  if (editStatus_ == EditStatus::New) {
    CancelEdit();
    return true;
  }
  CancelEdit();
  if (!RequireRow()) return false;
  Impl& d = *impl_;
  RowWrite write;
  if (!DeleteStatement(d.Origins(), *d.current(), write)) {
    RecordNotUpdatable(u"The row does not come from a table");
    return false;
  }
  if (!RunWrite(write, true)) return false;
  d.rows.erase(d.rows.begin() + static_cast<std::ptrdiff_t>(d.position - d.first));
  d.onDeletedRow = true;
  return true;
}

void CADORecordset::RecordError(const DbError& error) {
  lastErrorCode_ = error.code;
  lastFailure_ = error.failure;
  lastErrorState_ = error.state;
  errorDescription_ = error.description;
  lastErrorText_ = u"Query = " + statement_ + u"\n" + FormatErrorBlock(kSource, error);
}

}  // namespace kwo::store
