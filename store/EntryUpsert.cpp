#include "store/EntryUpsert.h"

#include <utility>
#include <vector>

#include "store/AdoErrors.h"

namespace kwo::store {
namespace {

// One statement per entry where the id is the table's key (as the store
// creates it).
constexpr char16_t kUpsertEntry[] =
    u"insert into kwo(id, shortkey, content) values(?1, ?2, ?3) "
    u"on conflict(id) do update set content=excluded.content";

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
    upsert_.reset();
    tried_ = false;
    generation_ = connection_->Generation();
  }
  return session;
}

bool EntryUpsert::Run(std::unique_ptr<DbStatement>& statement, const char16_t* sql,
                      const std::vector<DbValue>& parameters, DbError& error) {
  DbSession* session = Session(error);
  if (!session) return false;
  if (!statement) statement = session->Prepare(sql, error);
  if (!statement || !statement->Bind(parameters, error)) return false;
  const DbStep step = statement->Step(error);
  statement->Reset();
  return step != DbStep::Failed;
}

bool EntryUpsert::Available() {
  DbError refused;
  DbSession* session = Session(refused);
  if (!session) return false;
  if (!tried_) {
    upsert_ = session->Prepare(kUpsertEntry, refused);
    tried_ = true;
  }
  return upsert_ != nullptr;
}

bool EntryUpsert::Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error) {
  if (!Available()) {
    if (!Session(error)) return false;
    error = LayerError(kErrorObjectClosed, u"EntryUpsert", u"The upsert statement is not available");
    return false;
  }
  const std::vector<DbValue> row{DbValue(static_cast<int64_t>(id)), DbValue(key), DbValue(content)};
  return Run(upsert_, kUpsertEntry, row, error);
}

}  // namespace kwo::store
