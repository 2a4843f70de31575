#include "store/EntryUpsert.h"

#include <utility>
#include <vector>

#include "store/AdoErrors.h"

namespace kwo::store {
namespace {

// Works on every engine and on tables without a unique id: the update finds
// the existing row, the insert runs only when there was none.
constexpr char16_t kUpdateContent[] = u"update kwo set content=?2 where id=?1";
constexpr char16_t kInsertEntry[] = u"insert into kwo(id, shortkey, content) values(?1, ?2, ?3)";

}  // namespace

EntryUpsert::EntryUpsert(std::shared_ptr<DbConnection> connection) : connection_(std::move(connection)) {}

bool EntryUpsert::Run(std::unique_ptr<DbStatement>& statement, const char16_t* sql,
                      const std::vector<DbValue>& parameters, DbError& error) {
  DbSession* session = connection_ ? connection_->Session() : nullptr;
  if (!session) {
    error = LayerError(kErrorObjectClosed, u"EntryUpsert", u"The database is not open");
    return false;
  }
  // Statements of an earlier session are of no use after a reopen.
  if (generation_ != connection_->Generation()) {
    update_.reset();
    insert_.reset();
    generation_ = connection_->Generation();
  }
  if (!statement) statement = session->Prepare(sql, error);
  if (!statement || !statement->Bind(parameters, error)) return false;
  const DbStep step = statement->Step(error);
  statement->Reset();
  return step != DbStep::Failed;
}

bool EntryUpsert::Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error) {
  const DbValue idValue(static_cast<int64_t>(id));
  if (!Run(update_, kUpdateContent, {idValue, DbValue(content)}, error)) return false;
  if (connection_->Session()->ChangedRows() > 0) return true;
  return Run(insert_, kInsertEntry, {idValue, DbValue(key), DbValue(content)}, error);
}

}  // namespace kwo::store
