#pragma once
// Finding entries by what they contain: every word of a search text must
// occur in the key or the content (Latin letters without regard to case).
// The best come first: the entry whose key is the text, then keys that begin
// with it, then the rest, each group in id order; at most 37.
//
// In a SQLite file of our own the search runs on a trigram full-text index
// (kwo_search), made on first use and kept in step with the table by
// triggers. Other engines, and databases whose table does not suit the
// index, are scanned instead; the results are the same, only slower.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/DbEngine.h"

namespace kwo::store {

struct FoundEntry {
  int64_t id = 0;
  std::u16string shortKey;
  std::u16string content;
};

// The words of a search text: the runs between white space (the ideographic
// space included).
std::vector<std::u16string> SearchWords(std::u16string_view text);

// 0 when the key is the text, 1 when it begins with it, 2 otherwise; Latin
// letters compared without regard to case, white space around the text ignored.
int KeyRank(std::u16string_view shortKey, std::u16string_view text);

// Orders by rank, then id, drops repeated ids and keeps the first `limit`.
void RankFound(std::vector<FoundEntry>& found, std::u16string_view text, size_t limit);

// Creates the index and its triggers when they are missing and fills the
// index from the table. False when the table does not suit the index
// (its id is not the integer primary key) or the engine lacks FTS5.
bool EnsureContentIndex(DbSession& session, DbError& error);

class ContentSearch {
 public:
  // Up to 37 entries for the text, best first. False with the error filled
  // when the database failed; `found` is then empty.
  bool Find(const std::shared_ptr<DbConnection>& connection, std::u16string_view text,
            std::vector<FoundEntry>& found, DbError& error);

  // Whether the last Find ran on the index (for measurements and tests).
  bool UsedIndex() const { return usedIndex_; }

 private:
  enum class IndexState { Unknown, Ready, Unavailable };
  bool IndexReady(DbConnection& connection);

  IndexState state_ = IndexState::Unknown;
  const DbConnection* indexConnection_ = nullptr;
  uint64_t indexGeneration_ = 0;
  bool usedIndex_ = false;
};

}  // namespace kwo::store
