#include "store/EntryUpsert.h"

#include <cassert>
#include <utility>

#include "store/AdoErrors.h"
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

}  // namespace

EntryUpsert::EntryUpsert(std::shared_ptr<DbConnection> connection) : connection_(std::move(connection)) {}

DbSession* EntryUpsert::Session(DbError& error) {
  DbSession* session = connection_ ? connection_->Session() : nullptr;
  if (!session) {
    error = LayerError(kErrorObjectClosed, u"EntryUpsert", u"The database is not open");
    return nullptr;
  }
  // Statements of an earlier session are of no use after a reopen.
  if (generation_ != connection_->Generation()) {
    full_.reset();
    tried_ = false;
    generation_ = connection_->Generation();
  }
  return session;
}

bool EntryUpsert::Available() {
  DbError refused;
  DbSession* session = Session(refused);
  if (!session) return false;
  if (!tried_) {
    // Built once: the text of a full batch is long, and every import asks for it.
    static const std::u16string fullStatement = UpsertStatement(kUpsertBatchRows);
    full_ = session->Prepare(fullStatement, refused);
    tried_ = true;
  }
  return full_ != nullptr;
}

bool EntryUpsert::Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error) {
  // Callers ask Available() first: without the statement the recordset saves the row.
  assert(full_ != nullptr);
  const auto [at, added] = queuedAt_.emplace(id, queued_.size());
  if (!added) {
    queued_[at->second].content = content;
    return true;
  }
  queued_.push_back(Row{id, key, content});
  return queued_.size() < kUpsertBatchRows || Flush(error);
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
  std::unique_ptr<DbStatement> tail;
  if (rows.size() != kUpsertBatchRows || !full_) {
    tail = session->Prepare(UpsertStatement(rows.size()), error);
    if (!tail) return false;
  }
  DbStatement& statement = tail ? *tail : *full_;
  std::vector<DbValue> parameters;
  parameters.reserve(3 * rows.size());
  for (const Row& row : rows) {
    parameters.emplace_back(static_cast<int64_t>(row.id));
    parameters.emplace_back(row.key);
    parameters.emplace_back(row.content);
  }
  if (!statement.Bind(parameters, error)) return false;
  const DbStep step = statement.Step(error);
  statement.Reset();
  return step != DbStep::Failed;
}

}  // namespace kwo::store
