#pragma once
// Stores entries one after another by their short-key id, for writers of many
// rows (import): an id that exists gets its content replaced and keeps its
// key; a new id gets a new row. Rows are written in batches of up to
// kUpsertBatchRows by one prepared multi-row upsert with bound parameters, so
// that a server is asked once per batch, not once per row; a batch holds each
// id once (a later row's content replaces an earlier one's, as writing them
// one by one would). Engines or tables that do not take the statement (no
// unique id, no "on conflict") are left to the recordset's save: Prepare
// gives no upsert for them.
//
// Where the server reads arrays from text parameters (PostgreSQL), a batch of
// up to kArrayBatchRows rows is one statement with three array parameters: a
// plain insert while the ids are new, which costs the server about half of an
// upsert. The first batch that meets an existing id (or one that another
// writer has just inserted) is written again by the upsert, as are all
// batches after it, when the driver undid the failed statement alone;
// otherwise the batch fails, and with it the import's transaction.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/DbEngine.h"

namespace kwo::store {

constexpr size_t kUpsertBatchRows = 1000;
constexpr size_t kArrayBatchRows = 10000;

// A PostgreSQL array literal of texts: every element quoted, so that empty
// strings, "NULL", braces, commas and spaces stay plain text.
std::u16string TextArrayLiteral(const std::vector<const std::u16string*>& items);

class EntryUpsert {
 public:
  // The upsert on the connection's open session, or nullptr when the session
  // does not take its statement (or none is open).
  static std::unique_ptr<EntryUpsert> Prepare(std::shared_ptr<DbConnection> connection);
  EntryUpsert(const EntryUpsert&) = delete;
  EntryUpsert& operator=(const EntryUpsert&) = delete;

  // Queues the entry, and writes the batch when it is full. False with the
  // error filled when the database refused the batch.
  bool Store(uint32_t id, const std::u16string& key, const std::u16string& content, DbError& error);
  // Writes the entries still queued; to be called before the transaction commits.
  bool Flush(DbError& error);
  // Rows per batch on the session.
  size_t BatchRows() const { return arrays_ ? kArrayBatchRows : kUpsertBatchRows; }

 private:
  struct Row {
    uint32_t id;
    std::u16string key;
    std::u16string content;
  };

  explicit EntryUpsert(std::shared_ptr<DbConnection> connection);
  // Prepares the first statement on the open session, which tells whether it
  // takes the upsert; false with the error filled when it does not.
  bool PrepareProbe(DbError& error);
  // The open session (statements of an earlier one dropped and the first made
  // again), or nullptr with the error filled.
  DbSession* Session(DbError& error);
  bool Write(const std::vector<Row>& rows, DbError& error);
  bool WriteArrays(DbSession& session, const std::vector<Row>& rows, DbError& error);

  std::shared_ptr<DbConnection> connection_;
  uint64_t generation_ = 0;
  bool arrays_ = false;  // probe_ inserts the batch given as three arrays
  std::unique_ptr<DbStatement> probe_;  // for one row, or the arrays' insert
  std::unique_ptr<DbStatement> full_;  // for kUpsertBatchRows rows, prepared at the first full batch
  std::unique_ptr<DbStatement> arrayUpsert_;  // the arrays' upsert, once an id was found to exist
  std::unique_ptr<DbStatement> anyStored_;  // whether a batch meets a stored id
  DbField transaction_;  // the id of the import's transaction (TransactionId), once it has one
  bool transactionKnown_ = false;
  bool askedEmpty_ = false;
  bool startedEmpty_ = false;  // the table was empty at the first batch
  std::unordered_set<uint32_t> written_;  // then: the ids written since
  std::vector<Row> queued_;
  std::unordered_map<uint32_t, size_t> queuedAt_;  // id -> its row in queued_
};

}  // namespace kwo::store
