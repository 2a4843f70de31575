#include "store/ContentSearch.h"

#include <algorithm>
#include <set>
#include <unordered_set>
#include <utility>

#include "store/ContentIndex.h"
#include "store/ShorthandTable.h"
#include "store/SqlDialect.h"
#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

constexpr size_t kFoundLimit = static_cast<size_t>(kPrefixListLimit);
// A two-character word is looked up as the trigrams that begin with it; a
// word that begins more of them than this narrows too little to be worth it.
constexpr size_t kMostTrigramsPerPair = 512;
// Trigrams of the longer words that go into one index query.
constexpr size_t kMostTrigramsPerQuery = 16;

// Characters that the index's case folding leaves as they are, once ASCII
// letters are lower-cased (text::FoldUnit lower-cases them, and leaves these as they are): the two-character lookup must name the
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

// No character of the word has a case, in any script and any collation.
bool CaseFree(std::u16string_view word) {
  return FoldsOnlyAscii(word) &&
         std::none_of(word.begin(), word.end(), [](char16_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; });
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

// How the words are looked for: in a file of our own kwo_holds folds every
// script's case and reads the content as its user does; elsewhere like
// ignores the case as the engine can (the server's ilike folds every script),
// and a word with a backslash or a brace is also looked for as it is stored.
// On PostgreSQL a word in which no character has a case is found by strpos,
// which gives what ilike gives at a fraction of its cost (ilike lower-cases
// every row it reads).
enum class WordCheck { OwnFile, Like, LikeOrPosition };

std::u16string WordChecks(const std::vector<std::u16string>& words, size_t firstParameter, WordCheck check,
                          std::vector<DbValue>& parameters) {
  std::u16string checks;
  size_t next = firstParameter;
  for (const std::u16string& word : words) {
    const std::u16string n = text::FormatDecimal(static_cast<int64_t>(next++));
    if (!checks.empty()) checks += u" and ";
    if (check == WordCheck::OwnFile) {
      checks += u"kwo_holds(kwo.shortkey, kwo.content, ?" + n + u")";
      parameters.emplace_back(text::Fold(word));
      continue;
    }
    const bool position = check == WordCheck::LikeOrPosition && CaseFree(word);
    if (position) {
      checks += u"(strpos(kwo.shortkey, ?" + n + u") > 0 or strpos(kwo.content, ?" + n + u") > 0";
      parameters.emplace_back(word);
    } else {
      checks += u"(kwo.shortkey like ?" + n + u" escape '\\' or kwo.content like ?" + n + u" escape '\\'";
      parameters.emplace_back(LikePattern(word));
    }
    if (Stored(word) != word) {
      const std::u16string m = text::FormatDecimal(static_cast<int64_t>(next++));
      checks += position ? u" or strpos(kwo.content, ?" + m + u") > 0" : u" or kwo.content like ?" + m + u" escape '\\'";
      parameters.emplace_back(position ? Stored(word) : LikePattern(Stored(word)));
    }
    checks += u")";
  }
  return checks;
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
  const std::u16string low = text::Fold(pair);
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
    if (text::UpperUnit(shortKey[i]) != text::UpperUnit(wanted[i])) return 2;
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
  const std::u16string key = text::Upper(text::TrimSpace(text));
  std::unordered_set<int64_t> listed;
  if (words.size() == 1 && IsShortKey(key)) {
    static const std::u16string prefixRows =
        u"select id, shortkey, content from kwo where id between ?1 and ?2 and shortkey like ?3 escape '\\' "
        u"order by id";
    auto statement = session->Prepare(prefixRows, error);
    if (!statement) return false;
    for (const IdRange& range : KeyIdRanges(key)) {
      if (found.size() >= kFoundLimit) break;
      statement->LimitRows(static_cast<int>(kFoundLimit - found.size()));
      if (!statement->Bind({DbValue(range.low), DbValue(range.high), DbValue(key + u"%")}, error) ||
          !CollectRows(*statement, listed, kFoundLimit - found.size(), found, error)) {
        found.clear();
        return false;
      }
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
      const std::vector<std::u16string_view> points = text::CodePointUnits(word);
      if (points.size() >= 3) {
        for (size_t i = 0; i + 3 <= points.size() && trigrams.size() < kMostTrigramsPerQuery; ++i) {
          // The three code points stand side by side in the word.
          const std::u16string trigram(points[i].data(), points[i].size() + points[i + 1].size() + points[i + 2].size());
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
            WordChecks(words, 2, WordCheck::OwnFile, parameters) + u" order by kwo_search.rowid";
    }
  }
  if (sql.empty()) {
    // Ascending id order; the reading stops once enough rows are found.
    sql = u"select kwo.id, kwo.shortkey, kwo.content from kwo where " +
          WordChecks(words, 1,
                     session->IsOwnDatabase()                                         ? WordCheck::OwnFile
                     : DialectFor(session->Dbms()).product == SqlProduct::PostgreSql ? WordCheck::LikeOrPosition
                                                                                      : WordCheck::Like,
                     parameters) +
          u" order by kwo.id";
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
