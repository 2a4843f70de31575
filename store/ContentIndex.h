#pragma once
// The trigram full-text index of a SQLite file of the program's own
// (kwo_search), which ContentSearch reads: its schema, the triggers that
// keep it in step with kwo, and its filling part by part.
#include <cstdint>
#include <mutex>

#include "store/DbEngine.h"

namespace kwo::store {

enum class IndexFill {
  Ready,        // the index is whole
  More,         // rows remain to be indexed
  Unavailable,  // not a database of our own, or its table does not suit the index (no integer id key)
  Failed,       // the database failed (locked, say): try again later; `error` says why
};

// Rows a part of the fill indexes: about a tenth of a second's work.
constexpr int64_t kIndexFillRows = 1000;

// One step of making the index: creates it, with its triggers, when it is
// missing, then indexes the next `rows` rows of the table, each step in a
// transaction of its own. Rows changed meanwhile are kept right. With
// `commitTurn`, the commit (and a rollback after a failure) runs holding it.
IndexFill FillContentIndex(DbSession& session, int64_t rows, DbError& error, std::mutex* commitTurn = nullptr);
// The whole index at once; false when it cannot be made (see IndexFill).
bool EnsureContentIndex(DbSession& session, DbError& error);
// True when the index is there and whole: nothing is left to fill.
bool ContentIndexWhole(DbSession& session);

enum class IndexStatus { Missing, Filling, Ready };
// Where the index stands in the session's file; false with the error when the file could not say.
bool ReadIndexStatus(DbSession& session, IndexStatus& status, DbError& error);

}  // namespace kwo::store
