#include "store/EntryUpsert.h"

#include <utility>
#include <vector>

#include "store/AdoErrors.h"

namespace kwo::store {
namespace {

// One statement per entry where the id is the table's key (as the store
// creates it)...
constexpr char16_t kUpsertEntry[] =
    u"insert into kwo(id, shortkey, content) values(?1, ?2, ?3) "
    u"on conflict(id) do update set content=excluded.content";
// ...otherwise (a table made elsewhere, an engine without the clause) the
// update finds an existing row and the insert runs only when there was none.
constexpr char16_t kUpdateContent[] = u"update kwo set content=?2 where id=?1";
constexpr char16_t kInsertEntry[] = u"insert into kwo(id, shortkey, content) values(?1, ?2, ?3)";

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
    update_.reset();
    insert_.reset();
    oneStatement_ = true;
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

bool EntryUpsert::Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error) {
  DbSession* session = Session(error);
  if (!session) return false;
  const std::vector<DbValue> row{DbValue(static_cast<int64_t>(id)), DbValue(key), DbValue(content)};
  if (oneStatement_ && !upsert_) {
    DbError refused;
    upsert_ = session->Prepare(kUpsertEntry, refused);
    oneStatement_ = upsert_ != nullptr;
  }
  if (oneStatement_) return Run(upsert_, kUpsertEntry, row, error);
  if (!Run(update_, kUpdateContent, {row[0], row[2]}, error)) return false;
  if (session->ChangedRows() > 0) return true;
  return Run(insert_, kInsertEntry, row, error);
}

}  // namespace kwo::store
