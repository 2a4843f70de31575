#include "store/ContentIndex.h"

#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace kwo::store {
namespace {

// The text the index holds for a row: the key and the content, each followed
// by a line feed, so that every character of either column, the last one
// included, begins a trigram. A trigram across the two columns may let a row
// through that the final check then drops.
constexpr char16_t kIndexedText[] =
    u"coalesce(%.shortkey,'') || char(10) || coalesce(%.content,'') || char(10)";

std::u16string IndexedText(std::u16string_view row) {
  std::u16string expression;
  for (const char16_t* p = kIndexedText; *p; ++p) {
    if (*p == u'%') {
      expression += row;
    } else {
      expression += *p;
    }
  }
  return expression;
}

// While the index is being filled, kwo_search_fill holds the first id not
// yet indexed; the triggers keep only the rows below it in step, and the
// fill reads the rest as they are when their turn comes. Once the whole
// table is in, the mark row is deleted and the triggers keep every row.
std::u16string Filled(std::u16string_view id) {
  return u" where not exists (select 1 from kwo_search_fill where " + std::u16string(id) + u" >= next);";
}

std::u16string IndexSchema() {
  const std::u16string inserted =
      u"insert into kwo_search(rowid, body) select new.id, " + IndexedText(u"new") + Filled(u"new.id");
  const std::u16string removed = u"insert into kwo_search(kwo_search, rowid, body) select 'delete', old.id, " +
                                 IndexedText(u"old") + Filled(u"old.id");
  return u"drop trigger if exists kwo_search_insert;"
         u"drop trigger if exists kwo_search_delete;"
         u"drop trigger if exists kwo_search_update;"
         u"drop table if exists kwo_search;"
         u"drop table if exists kwo_search_fill;"
         // Contentless, without positions: the index only says which rows may
         // hold a word; the rows themselves are always checked against kwo.
         u"create virtual table kwo_search using fts5(body, content='', tokenize='trigram', detail=none);"
         u"create table kwo_search_fill(next integer);"
         u"insert into kwo_search_fill select coalesce(min(id), 0) from kwo;"
         u"create trigger kwo_search_insert after insert on kwo begin " +
         inserted + u" end;" + u"create trigger kwo_search_delete after delete on kwo begin " + removed +
         u" end;" + u"create trigger kwo_search_update after update on kwo begin " + removed + inserted + u" end;";
}

// The first column of the first row as a number; 0 when it is null, `present` false when there is no row.
bool QueryNumber(DbSession& session, const std::u16string& sql, const std::vector<DbValue>& parameters,
                 int64_t& number, bool& present, DbError& error) {
  auto statement = session.Prepare(sql, error);
  if (!statement || !statement->Bind(parameters, error)) return false;
  const DbStep step = statement->Step(error);
  if (step == DbStep::Failed) return false;
  present = step == DbStep::Row;
  const DbField field = present ? statement->Column(0) : DbField();
  const int64_t* value = std::get_if<int64_t>(&field.value);
  number = value ? *value : 0;
  return true;
}

bool QueryCount(DbSession& session, const std::u16string& sql, int64_t& count, DbError& error) {
  bool present = false;
  return QueryNumber(session, sql, {}, count, present, error);
}

// The index needs kwo.id to be the table's integer primary key, the row id
// that the index refers to.
bool TableSuits(DbSession& session, bool& suits, DbError& error) {
  int64_t keyColumns = 0, integerId = 0;
  if (!QueryCount(session, u"select count(*) from pragma_table_info('kwo') where pk > 0", keyColumns, error) ||
      !QueryCount(session,
                  u"select count(*) from pragma_table_info('kwo') where name = 'id' and pk = 1 and "
                  u"upper(type) = 'INTEGER'",
                  integerId, error)) {
    return false;
  }
  suits = keyColumns == 1 && integerId == 1;
  return true;
}


// Indexes the next `rows` rows from the mark on and moves the mark past them;
// the last part deletes the mark. Runs inside the caller's transaction.
bool FillSlice(DbSession& session, int64_t rows, bool& done, DbError& error) {
  int64_t next = 0, end = 0;
  bool present = false, more = false;
  if (!QueryNumber(session, u"select next from kwo_search_fill", {}, next, present, error) ||
      !QueryNumber(session, u"select id from kwo where id >= ?1 order by id limit 1 offset ?2",
                   {DbValue(next), DbValue(rows)}, end, more, error)) {
    return false;
  }
  const std::u16string select = u"insert into kwo_search(rowid, body) select id, " + IndexedText(u"kwo") +
                                u" from kwo where id >= ?1" + (more ? u" and id < ?2" : u"");
  auto insert = session.Prepare(select, error);
  std::vector<DbValue> range{DbValue(next)};
  if (more) range.emplace_back(end);
  if (!insert || !insert->Bind(range, error) || insert->Step(error) == DbStep::Failed) return false;
  insert.reset();
  done = !more;
  if (done) return session.Execute(u"delete from kwo_search_fill", error);
  auto mark = session.Prepare(u"update kwo_search_fill set next = ?1", error);
  return mark && mark->Bind({DbValue(end)}, error) && mark->Step(error) != DbStep::Failed;
}

}  // namespace

bool ReadIndexStatus(DbSession& session, IndexStatus& status, DbError& error) {
  int64_t objects = 0, marks = 0;
  if (!QueryCount(session,
                  u"select count(*) from sqlite_master where name in "
                  u"('kwo_search', 'kwo_search_insert', 'kwo_search_delete', 'kwo_search_update')",
                  objects, error)) {
    return false;
  }
  if (objects != 4) {
    status = IndexStatus::Missing;
    return true;
  }
  // An index made whole in one go by earlier versions has no mark table.
  int64_t markTable = 0;
  if (!QueryCount(session, u"select count(*) from sqlite_master where name = 'kwo_search_fill'", markTable, error) ||
      (markTable != 0 && !QueryCount(session, u"select count(*) from kwo_search_fill", marks, error))) {
    return false;
  }
  status = marks == 0 ? IndexStatus::Ready : IndexStatus::Filling;
  return true;
}


IndexFill FillContentIndex(DbSession& session, int64_t rows, DbError& error, std::mutex* commitTurn) {
  if (!session.IsOwnDatabase()) return IndexFill::Unavailable;
  IndexStatus status = IndexStatus::Missing;
  if (!ReadIndexStatus(session, status, error)) return IndexFill::Failed;
  if (status == IndexStatus::Ready) return IndexFill::Ready;
  if (status == IndexStatus::Missing) {
    bool suits = false;
    if (!TableSuits(session, suits, error)) return IndexFill::Failed;
    if (!suits) return IndexFill::Unavailable;
  }
  if (!session.BeginTransaction(error)) return IndexFill::Failed;
  // Another copy of the program may have changed it while this one waited for the lock.
  bool done = false;
  const bool worked = ReadIndexStatus(session, status, error) &&
                      (status != IndexStatus::Missing || session.Execute(IndexSchema(), error)) &&
                      (status == IndexStatus::Ready || FillSlice(session, rows, done, error));
  std::unique_lock<std::mutex> turn;
  if (commitTurn) turn = std::unique_lock<std::mutex>(*commitTurn);
  if (!worked || !session.CommitTransaction(error)) {
    DbError ignored;
    session.RollbackTransaction(ignored);
    return IndexFill::Failed;
  }
  return status == IndexStatus::Ready || done ? IndexFill::Ready : IndexFill::More;
}

bool EnsureContentIndex(DbSession& session, DbError& error) {
  IndexFill fill = IndexFill::More;
  while (fill == IndexFill::More) fill = FillContentIndex(session, std::numeric_limits<int64_t>::max(), error);
  return fill == IndexFill::Ready;
}

bool ContentIndexWhole(DbSession& session) {
  DbError ignored;
  IndexStatus status = IndexStatus::Missing;
  return ReadIndexStatus(session, status, ignored) && status == IndexStatus::Ready;
}

}  // namespace kwo::store
