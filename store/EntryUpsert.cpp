#include "store/EntryUpsert.h"

#include <utility>

#include "store/AdoErrors.h"
#include "store/SqlDialect.h"
#include "text/Chars.h"

namespace kwo::store {
namespace {

// One statement per batch where the id is the table's key (as the store creates it).
std::u16string UpsertStatement(size_t rows) {
  std::u16string sql = u"insert into kwo(id, shortkey, content) values";
  for (size_t row = 0; row < rows; ++row) {
    const auto marker = [row](size_t column) { return u"?" + text::FormatDecimal(static_cast<int64_t>(3 * row + column)); };
    sql += (row > 0 ? u",(" : u"(") + marker(1) + u", " + marker(2) + u", " + marker(3) + u")";
  }
  return sql + u" on conflict(id) do update set content=excluded.content";
}

// A batch of new ids: a plain insert, the cheapest write the server has.
constexpr char16_t kArrayInsert[] =
    u"insert into kwo(id, shortkey, content) select * from unnest(?1::bigint[], ?2::text[], ?3::text[])";
constexpr char16_t kArrayUpsert[] =
    u"insert into kwo(id, shortkey, content) select * from unnest(?1::bigint[], ?2::text[], ?3::text[]) "
    u"on conflict(id) do update set content=excluded.content";

// The import's statements may run long on a busy server.
std::unique_ptr<DbStatement> PrepareImport(DbSession& session, const std::u16string& sql, DbError& error) {
  std::unique_ptr<DbStatement> statement = session.Prepare(sql, error);
  if (statement) statement->AllowLongRun();
  return statement;
}

// Whether any of the ids (an array literal) is stored.
constexpr char16_t kAnyStored[] = u"select 1 from kwo where id = any(?1::bigint[]) limit 1";
constexpr char16_t kAnyRow[] = u"select 1 from kwo limit 1";

// Whether the statement gives a row; Failed with the error filled.
DbStep FindsRow(DbStatement& statement, const std::vector<DbValue>& parameters, DbError& error) {
  if (!statement.Bind(parameters, error)) return DbStep::Failed;
  const DbStep step = statement.Step(error);
  statement.Reset();
  return step;
}

// The id of the current transaction, NULL before it has written anything.
bool TransactionId(DbSession& session, DbField& id) {
  DbError error;
  std::unique_ptr<DbStatement> statement = session.Prepare(u"select txid_current_if_assigned()", error);
  if (!statement || !statement->Bind({}, error) || statement->Step(error) != DbStep::Row) return false;
  id = statement->Column(0);
  statement->Reset();
  return true;
}

}  // namespace

std::u16string TextArrayLiteral(const std::vector<const std::u16string*>& items) {
  size_t size = 2;
  for (const std::u16string* item : items) size += item->size() + 3;
  std::u16string literal;
  literal.reserve(size + size / 16);
  literal += u'{';
  for (const std::u16string* item : items) {
    if (literal.size() > 1) literal += u',';
    literal += u'"';
    size_t from = 0;
    for (size_t at; (at = item->find_first_of(u"\\\"", from)) != std::u16string::npos; from = at + 1) {
      literal.append(*item, from, at - from);
      literal += u'\\';
      literal += (*item)[at];
    }
    literal.append(*item, from, std::u16string::npos);
    literal += u'"';
  }
  literal += u'}';
  return literal;
}

EntryUpsert::EntryUpsert(std::shared_ptr<DbConnection> connection) : connection_(std::move(connection)) {}

std::unique_ptr<EntryUpsert> EntryUpsert::Prepare(std::shared_ptr<DbConnection> connection) {
  std::unique_ptr<EntryUpsert> upsert(new EntryUpsert(std::move(connection)));
  DbError refused;
  if (!upsert->connection_ || !upsert->connection_->Session()) return nullptr;
  upsert->generation_ = upsert->connection_->Generation();
  if (!upsert->PrepareProbe(refused)) return nullptr;
  return upsert;
}

bool EntryUpsert::PrepareProbe(DbError& error) {
  DbSession& session = *connection_->Session();
  arrays_ = DialectFor(session.Dbms()).arrayParameters;
  // A one-row upsert tells whether the server takes the statement; the full
  // batch's statement, long to build and to prepare, waits for a full batch.
  probe_ = PrepareImport(session, arrays_ ? std::u16string(kArrayInsert) : UpsertStatement(1), error);
  return probe_ != nullptr;
}

DbSession* EntryUpsert::Session(DbError& error) {
  DbSession* session = connection_ ? connection_->Session() : nullptr;
  if (!session) {
    error = LayerError(kErrorObjectClosed, u"EntryUpsert", u"The database is not open");
    return nullptr;
  }
  // Statements of an earlier session are of no use after a reopen.
  if (generation_ != connection_->Generation()) {
    full_.reset();
    arrayUpsert_.reset();
    anyStored_.reset();
    askedEmpty_ = false;
    written_.clear();
    transactionKnown_ = false;
    generation_ = connection_->Generation();
    if (!PrepareProbe(error)) return nullptr;
  }
  return session;
}

bool EntryUpsert::Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error) {
  if (queued_.empty()) {
    queued_.reserve(BatchRows());
    queuedAt_.reserve(BatchRows());
  }
  const auto [at, added] = queuedAt_.emplace(id, queued_.size());
  if (!added) {
    queued_[at->second].content = content;
    return true;
  }
  queued_.push_back(Row{id, key, content});
  return queued_.size() < BatchRows() || Flush(error);
}

bool EntryUpsert::Flush(DbError& error) {
  std::vector<Row> rows;
  rows.swap(queued_);
  queuedAt_.clear();
  return rows.empty() || Write(rows, error);
}

bool EntryUpsert::Write(const std::vector<Row>& rows, DbError& error) {
  DbSession* session = Session(error);
  if (!session) return false;
  if (arrays_) return WriteArrays(*session, rows, error);
  DbStatement* statement = rows.size() == 1 ? probe_.get() : rows.size() == kUpsertBatchRows ? full_.get() : nullptr;
  std::unique_ptr<DbStatement> tail;
  if (!statement) {
    tail = PrepareImport(*session, UpsertStatement(rows.size()), error);
    if (!tail) return false;
    statement = tail.get();
    if (rows.size() == kUpsertBatchRows) full_ = std::move(tail);  // kept for the batches after it
  }
  std::vector<DbValue> parameters;
  parameters.reserve(3 * rows.size());
  for (const Row& row : rows) {
    parameters.emplace_back(static_cast<int64_t>(row.id));
    parameters.emplace_back(row.key);
    parameters.emplace_back(row.content);
  }
  if (!statement->Bind(parameters, error)) return false;
  const DbStep step = statement->Step(error);
  statement->Reset();
  return step != DbStep::Failed;
}

bool EntryUpsert::WriteArrays(DbSession& session, const std::vector<Row>& rows, DbError& error) {
  std::u16string ids;
  ids.reserve(11 * rows.size() + 2);
  std::vector<const std::u16string*> keys, contents;
  keys.reserve(rows.size());
  contents.reserve(rows.size());
  for (const Row& row : rows) {
    ids += ids.empty() ? u'{' : u',';
    ids += text::FormatDecimal(row.id);
    keys.push_back(&row.key);
    contents.push_back(&row.content);
  }
  ids += u'}';
  const std::vector<DbValue> parameters{DbValue(ids), DbValue(TextArrayLiteral(keys)),
                                        DbValue(TextArrayLiteral(contents))};
  auto run = [&](DbStatement& statement) { return FindsRow(statement, parameters, error) != DbStep::Failed; };
  if (!arrayUpsert_) {
    // Asked first, so that the insert fails only when another program stores
    // one of the ids meanwhile: whether an import can go on after a failed
    // statement depends on the driver's rollback setting. A table empty at
    // the first batch holds only the ids written since, which are known here.
    if (!askedEmpty_) {
      std::unique_ptr<DbStatement> anyRow = PrepareImport(session, kAnyRow, error);
      const DbStep step = anyRow ? FindsRow(*anyRow, {}, error) : DbStep::Failed;
      if (step == DbStep::Failed) return false;
      askedEmpty_ = true;
      startedEmpty_ = step == DbStep::Done;
    }
    bool stored = false;
    if (startedEmpty_) {
      for (const Row& row : rows) stored = stored || written_.count(row.id) != 0;
    } else {
      if (!anyStored_) anyStored_ = PrepareImport(session, kAnyStored, error);
      const DbStep found = anyStored_ ? FindsRow(*anyStored_, {DbValue(std::move(ids))}, error) : DbStep::Failed;
      if (found == DbStep::Failed) return false;
      stored = found == DbStep::Row;
    }
    if (!stored) {
      // The transaction's id before and after a failed insert tells whether
      // the driver undid the statement alone (it keeps the id) or the whole
      // transaction (a new id, or none yet), or left it aborted (the query fails).
      // Once the transaction has written, its id stays what it is until it
      // ends: it is asked for until it is there, then kept.
      if (!transactionKnown_) transactionKnown_ = TransactionId(session, transaction_);
      const bool known = transactionKnown_;
      const DbField before = transaction_;
      DbField after;
      if (run(*probe_)) {
        if (startedEmpty_)
          for (const Row& row : rows) written_.insert(row.id);
        if (before.type == DbType::Null) transactionKnown_ = false;
        return true;
      }
      if (!IsDuplicateKey(error.state)) return false;
      // Upserting is safe when nothing was written before, or when the
      // batches before are still there.
      const bool kept = before.type == DbType::Null || (TransactionId(session, after) && after.type == before.type &&
                                                        after.value == before.value);
      if (!known || !kept) return false;
      error = DbError();
    }
    // Some ids are stored: this batch and the following ones are upserted.
    written_.clear();
    arrayUpsert_ = PrepareImport(session, kArrayUpsert, error);
    if (!arrayUpsert_) return false;
  }
  return run(*arrayUpsert_);
}

}  // namespace kwo::store
