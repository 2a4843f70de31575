#pragma once
// Finding entries by what they contain: every word of a search text must
// occur in the key or the content as the user reads it (escaping backslashes
// dropped: "C:\\path" is found by C:\path), without regard to case.
// The best come first: the entry whose key is the text, then keys that begin
// with it, then the rest, each group in id order; at most 37.
//
// In a SQLite file of our own the search runs on a trigram full-text index
// (kwo_search, store/ContentIndex.h), kept in step with the table by
// triggers. The index is filled part by part (FillContentIndex), on a thread
// of its own in the program (store/ContentIndexFiller.h); until it is whole, and on other engines and tables
// that do not suit it, the table is scanned instead: the results are the
// same, only slower.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/ContentIndex.h"
#include "store/DbEngine.h"

namespace kwo::store {

struct FoundEntry {
  int64_t id = 0;
  std::u16string shortKey;
  std::u16string content;

  bool operator==(const FoundEntry& other) const {
    return id == other.id && shortKey == other.shortKey && content == other.content;
  }
  bool operator!=(const FoundEntry& other) const { return !(*this == other); }
};

// The words of a search text: the runs between white space (the ideographic
// space included).
std::vector<std::u16string> SearchWords(std::u16string_view text);

// Whether the key, or the content as the user reads it, holds `foldedWord`
// (text::Fold) without regard to case. On a SQLite file of the program's own
// this runs inside the database as kwo_holds(shortkey, content, word).
bool EntryHolds(std::u16string_view key, std::u16string_view content, std::u16string_view foldedWord);

// 0 when the key is the text, 1 when it begins with it, 2 otherwise; Latin
// letters compared without regard to case, white space around the text ignored.
int KeyRank(std::u16string_view shortKey, std::u16string_view text);

// Orders by rank, then id, drops repeated ids and keeps the first `limit`.
void RankFound(std::vector<FoundEntry>& found, std::u16string_view text, size_t limit);

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
  // Whether the index can answer; `failed` when the database could not say.
  bool IndexReady(DbConnection& connection, bool& failed, DbError& error);

  IndexState state_ = IndexState::Unknown;
  const DbConnection* indexConnection_ = nullptr;
  uint64_t indexGeneration_ = 0;
  bool usedIndex_ = false;
};

}  // namespace kwo::store
