#include "store/ContentSearch.h"

#include <algorithm>
#include <limits>
#include <set>
#include <unordered_set>
#include <utility>

#include "store/ShorthandTable.h"
#include "text/Chars.h"

namespace kwo::store {
namespace {

constexpr size_t kFoundLimit = static_cast<size_t>(kPrefixListLimit);
// A two-character word is looked up as the trigrams that begin with it; a
// word that begins more of them than this narrows too little to be worth it.
constexpr size_t kMostTrigramsPerPair = 512;
// Trigrams of the longer words that go into one index query.
constexpr size_t kMostTrigramsPerQuery = 16;

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

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c; }
char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c; }

// Code points of a word, each as its one or two code units.
std::vector<std::u16string> CodePoints(std::u16string_view word) {
  std::vector<std::u16string> points;
  for (size_t i = 0; i < word.size(); ++i) {
    const bool pair = word[i] >= 0xD800 && word[i] <= 0xDBFF && i + 1 < word.size() && word[i + 1] >= 0xDC00 &&
                      word[i + 1] <= 0xDFFF;
    points.emplace_back(word.substr(i, pair ? 2 : 1));
    if (pair) ++i;
  }
  return points;
}

// Characters that the index's case folding leaves as they are, after ASCII
// letters are lower-cased here: the two-character lookup must name the
// trigrams exactly as the index holds them.
bool FoldsOnlyAscii(std::u16string_view word) {
  for (char16_t c : word) {
    const bool unchanged = c < 0x80 || (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x9FFF) ||
                           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                           (c >= 0xFF01 && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) ||
                           (c >= 0xFF5B && c <= 0xFF65);
    if (!unchanged) return false;
  }
  return true;
}

// Text the index holds as the user reads it, folded as kwo_holds folds it:
// no backslash or brace, which the stored form may escape, and no letter
// whose case the index may fold otherwise.
bool IndexedAsRead(std::u16string_view text) {
  return FoldsOnlyAscii(text) && text.find_first_of(u"\\{") == std::u16string_view::npos;
}

std::u16string Quoted(std::u16string_view term) {
  std::u16string quoted = u"\"";
  for (char16_t c : term) {
    if (c == u'"') quoted += u'"';
    quoted += c;
  }
  return quoted + u"\"";
}

std::u16string LikePattern(std::u16string_view word) {
  std::u16string pattern = u"%";
  for (char16_t c : word) {
    if (c == u'%' || c == u'_' || c == u'\\') pattern += u'\\';
    pattern += c;
  }
  return pattern + u"%";
}

// A word as the program stores it in a content: backslashes doubled, opening braces escaped.
std::u16string Stored(std::u16string_view word) {
  std::u16string stored;
  for (char16_t c : word) {
    if (c == u'\\' || c == u'{') stored += u'\\';
    stored += c;
  }
  return stored;
}

// The check of every word and its parameters, from ?firstParameter on. In a
// file of our own kwo_holds folds every script's case and reads the content
// as its user does; elsewhere like ignores the case as the engine can (the
// server's ilike folds every script), and a word with a backslash or a brace
// is also looked for as it is stored.
std::u16string WordChecks(const std::vector<std::u16string>& words, size_t firstParameter, bool ownFile,
                          std::vector<DbValue>& parameters) {
  std::u16string checks;
  size_t next = firstParameter;
  for (const std::u16string& word : words) {
    const std::u16string n = text::FormatDecimal(static_cast<int64_t>(next++));
    if (!checks.empty()) checks += u" and ";
    if (ownFile) {
      checks += u"kwo_holds(kwo.shortkey, kwo.content, ?" + n + u")";
      parameters.emplace_back(text::Fold(word));
      continue;
    }
    checks += u"(kwo.shortkey like ?" + n + u" escape '\\' or kwo.content like ?" + n + u" escape '\\'";
    parameters.emplace_back(LikePattern(word));
    if (Stored(word) != word) {
      const std::u16string m = text::FormatDecimal(static_cast<int64_t>(next++));
      checks += u" or kwo.content like ?" + m + u" escape '\\'";
      parameters.emplace_back(LikePattern(Stored(word)));
    }
    checks += u")";
  }
  return checks;
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

enum class IndexStatus { Missing, Filling, Ready };

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

// Steps through a result of (id, shortkey, content) rows; stops after `limit` rows not in `skip`.
bool CollectRows(DbStatement& statement, const std::unordered_set<int64_t>& skip, size_t limit,
                 std::vector<FoundEntry>& found, DbError& error) {
  size_t taken = 0;
  while (taken < limit) {
    const DbStep step = statement.Step(error);
    if (step == DbStep::Failed) return false;
    if (step == DbStep::Done) break;
    FoundEntry entry;
    const DbField id = statement.Column(0);
    if (const int64_t* value = std::get_if<int64_t>(&id.value)) entry.id = *value;
    if (skip.count(entry.id) != 0) continue;
    const DbField key = statement.Column(1), content = statement.Column(2);
    if (const auto* value = std::get_if<std::u16string>(&key.value)) entry.shortKey = *value;
    if (const auto* value = std::get_if<std::u16string>(&content.value)) entry.content = *value;
    found.push_back(std::move(entry));
    ++taken;
  }
  statement.Reset();
  return true;
}

// The trigrams of the index that begin with a two-character word (folded as
// the index folds). Every occurrence of the word in a row begins one of them.
bool TrigramsBeginning(DbSession& session, std::u16string_view pair, std::vector<std::u16string>& terms,
                       DbError& error) {
  std::u16string low;
  for (char16_t c : pair) low += AsciiLower(c);
  auto statement = session.Prepare(
      u"select term from temp.kwo_search_terms where term >= ?1 and term <= ?2 limit " +
          text::FormatDecimal(static_cast<int64_t>(kMostTrigramsPerPair) + 1),
      error);
  if (!statement || !statement->Bind({DbValue(low), DbValue(low + u"\xDBFF\xDFFF")}, error)) return false;
  for (;;) {
    const DbStep step = statement->Step(error);
    if (step == DbStep::Failed) return false;
    if (step == DbStep::Done) break;
    const DbField term = statement->Column(0);
    if (const auto* value = std::get_if<std::u16string>(&term.value)) terms.push_back(*value);
  }
  statement->Reset();
  return true;
}

}  // namespace

std::vector<std::u16string> SearchWords(std::u16string_view text) {
  std::vector<std::u16string> words;
  std::u16string word;
  for (char16_t c : text) {
    if (text::IsSpace(c)) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

bool EntryHolds(std::u16string_view key, std::u16string_view content, std::u16string_view foldedWord) {
  if (text::Fold(key).find(foldedWord) != std::u16string::npos) return true;
  std::u16string read;
  read.reserve(content.size());
  for (size_t i = 0; i < content.size(); ++i) {  // an escaping backslash dropped, the next unit kept
    if (content[i] == u'\\' && ++i == content.size()) break;
    read += text::FoldUnit(content[i]);
  }
  return read.find(foldedWord) != std::u16string::npos;
}

int KeyRank(std::u16string_view shortKey, std::u16string_view text) {
  const std::u16string_view wanted = text::TrimSpace(text);
  if (wanted.empty() || shortKey.size() < wanted.size()) return 2;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (AsciiUpper(shortKey[i]) != AsciiUpper(wanted[i])) return 2;
  }
  return shortKey.size() == wanted.size() ? 0 : 1;
}

void RankFound(std::vector<FoundEntry>& found, std::u16string_view text, size_t limit) {
  std::vector<std::pair<int, size_t>> order;  // (rank, index)
  for (size_t i = 0; i < found.size(); ++i) order.emplace_back(KeyRank(found[i].shortKey, text), i);
  std::stable_sort(order.begin(), order.end(), [&found](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return found[a.second].id < found[b.second].id;
  });
  std::vector<FoundEntry> ranked;
  std::unordered_set<int64_t> seen;
  for (const auto& [rank, index] : order) {
    if (ranked.size() == limit) break;
    if (seen.insert(found[index].id).second) ranked.push_back(std::move(found[index]));
  }
  found = std::move(ranked);
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

bool ContentSearch::IndexReady(DbConnection& connection, bool& failed, DbError& error) {
  failed = false;
  if (indexConnection_ != &connection || indexGeneration_ != connection.Generation()) {
    indexConnection_ = &connection;
    indexGeneration_ = connection.Generation();
    state_ = IndexState::Unknown;
  }
  if (state_ == IndexState::Unknown) {
    // Looked at again at every search until the index is whole; meanwhile the table is scanned.
    DbSession* session = connection.Session();
    IndexStatus status = IndexStatus::Missing;
    if (session == nullptr || !session->IsOwnDatabase()) {
      state_ = IndexState::Unavailable;
    } else if (!ReadIndexStatus(*session, status, error)) {
      failed = true;  // the file is locked, say: the scan would wait as long again
      return false;
    } else if (status == IndexStatus::Ready &&
               session->Execute(u"create virtual table if not exists temp.kwo_search_terms using "
                                u"fts5vocab(main, kwo_search, row)",
                                error)) {
      state_ = IndexState::Ready;
    }
  }
  return state_ == IndexState::Ready;
}

bool ContentSearch::Find(const std::shared_ptr<DbConnection>& connection, std::u16string_view text,
                         std::vector<FoundEntry>& found, DbError& error) {
  found.clear();
  usedIndex_ = false;
  DbSession* session = connection ? connection->Session() : nullptr;
  if (session == nullptr) {
    error.description = u"The database is not open";
    return false;
  }
  const std::vector<std::u16string> words = SearchWords(text);
  if (words.empty()) return true;

  // Keys that begin with the text, read by id ranges; they come first.
  std::u16string key;
  for (char16_t c : text::TrimSpace(text)) key += AsciiUpper(c);
  std::unordered_set<int64_t> listed;
  if (words.size() == 1 && IsShortKey(key)) {
    static const std::u16string prefixRows =
        u"select id, shortkey, content from kwo where id between ?1 and ?2 and shortkey like ?3 escape '\\' "
        u"order by id";
    auto statement = session->Prepare(prefixRows, error);
    if (!statement) return false;
    int64_t scale = 1, low = 0;
    for (size_t k = 0; k + key.size() <= static_cast<size_t>(kMaxShortKeyLength) && found.size() < kFoundLimit;
         ++k) {
      const int64_t base = static_cast<int64_t>(ShortKeyId(key)) * scale;
      statement->LimitRows(static_cast<int>(kFoundLimit - found.size()));
      if (!statement->Bind({DbValue(base + low), DbValue(base + 36 * low), DbValue(key + u"%")}, error) ||
          !CollectRows(*statement, listed, kFoundLimit - found.size(), found, error)) {
        found.clear();
        return false;
      }
      low += scale;
      scale *= 37;
    }
    for (const FoundEntry& entry : found) listed.insert(entry.id);
  }

  std::vector<DbValue> parameters;
  std::u16string sql;
  bool failed = false;
  const bool indexReady = IndexReady(*connection, failed, error);
  if (failed) {
    found.clear();
    return false;
  }
  if (indexReady) {
    std::u16string match;
    std::set<std::u16string> trigrams;
    for (const std::u16string& word : words) {
      const std::vector<std::u16string> points = CodePoints(word);
      if (points.size() >= 3) {
        for (size_t i = 0; i + 3 <= points.size() && trigrams.size() < kMostTrigramsPerQuery; ++i) {
          const std::u16string trigram = points[i] + points[i + 1] + points[i + 2];
          if (IndexedAsRead(trigram) && trigrams.insert(trigram).second)
            match += (match.empty() ? u"" : u" AND ") + Quoted(trigram);
        }
      } else if (points.size() == 2 && IndexedAsRead(word)) {
        std::vector<std::u16string> terms;
        if (!TrigramsBeginning(*session, word, terms, error)) {
          state_ = IndexState::Unknown;
          found.clear();
          return false;
        }
        if (terms.empty()) {  // the index says no row holds the word
          usedIndex_ = true;
          RankFound(found, text, kFoundLimit);
          return true;
        }
        if (terms.size() > kMostTrigramsPerPair) continue;
        std::u16string any;
        for (const std::u16string& term : terms) any += (any.empty() ? u"(" : u" OR ") + Quoted(term);
        match += (match.empty() ? u"" : u" AND ") + any + u")";
      }
    }
    if (!match.empty()) {
      usedIndex_ = true;
      parameters.emplace_back(match);
      sql = u"select kwo.id, kwo.shortkey, kwo.content from kwo_search cross join kwo on kwo.id = kwo_search.rowid "
            u"where kwo_search match ?1 and " +
            WordChecks(words, 2, true, parameters) + u" order by kwo_search.rowid";
    }
  }
  if (sql.empty()) {
    // Ascending id order; the reading stops once enough rows are found.
    sql = u"select kwo.id, kwo.shortkey, kwo.content from kwo where " +
          WordChecks(words, 1, session->IsOwnDatabase(), parameters) + u" order by kwo.id";
  }

  auto statement = session->Prepare(sql, error);
  // Rows already listed are skipped: the reading may pass over as many.
  if (statement) statement->LimitRows(static_cast<int>(kFoundLimit + listed.size()));
  if (!statement || !statement->Bind(parameters, error) ||
      !CollectRows(*statement, listed, kFoundLimit, found, error)) {
    found.clear();
    if (usedIndex_) state_ = IndexState::Unknown;  // dropped by someone else: scanned until it is made again
    return false;
  }
  RankFound(found, text, kFoundLimit);
  return true;
}

}  // namespace kwo::store
