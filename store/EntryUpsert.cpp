#include "store/EntryUpsert.h"

#include <cassert>
#include <utility>
#include <vector>

namespace kwo::store {
namespace {

// One statement per entry where the id is the table's key (as the store
// creates it).
constexpr char16_t kUpsertEntry[] =
    u"insert into kwo(id, shortkey, content) values(?1, ?2, ?3) "
    u"on conflict(id) do update set content=excluded.content";

}  // namespace

EntryUpsert::EntryUpsert(std::shared_ptr<DbConnection> connection) : connection_(std::move(connection)) {}

DbSession* EntryUpsert::Session() {
  DbSession* session = connection_ ? connection_->Session() : nullptr;
  if (!session) return nullptr;
  // Statements of an earlier session are of no use after a reopen.
  if (generation_ != connection_->Generation()) {
    upsert_.reset();
    tried_ = false;
    generation_ = connection_->Generation();
  }
  return session;
}

bool EntryUpsert::Available() {
  DbSession* session = Session();
  if (!session) return false;
  if (!tried_) {
    DbError refused;
    upsert_ = session->Prepare(kUpsertEntry, refused);
    tried_ = true;
  }
  return upsert_ != nullptr;
}

bool EntryUpsert::Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error) {
  // Callers ask Available() first: without the statement the recordset saves the row.
  assert(upsert_ != nullptr);
  const std::vector<DbValue> row{DbValue(static_cast<int64_t>(id)), DbValue(key), DbValue(content)};
  if (!upsert_->Bind(row, error)) return false;
  const DbStep step = upsert_->Step(error);
  upsert_->Reset();
  return step != DbStep::Failed;
}

}  // namespace kwo::store
