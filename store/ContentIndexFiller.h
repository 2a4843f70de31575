#pragma once
// Fills the content index (FillContentIndex, store/ContentIndex.h) on a
// thread of its own, over a connection of its own to the same database file,
// so that the window's thread never waits for a part. The two connections
// meet in the file's locks: a write of the window's thread waits in the
// busy handler for the part in progress, at most one part's time. A read of
// the window's thread never meets the filler's write lock: the filler works
// under a reserved lock, which lets readers in (its pages stay in memory
// until the commit), and it commits only while no read holds HoldCommits. Each
// part is a transaction of its own: stopped or killed midway, the file stays
// sound and the next start goes on where this one stopped. The thread ends
// once the index is whole, giving its stack back first where the system would
// keep it (base/ThreadStack.h).
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "store/ContentIndex.h"

namespace kwo::store {

struct IndexFillPace {
  int delayMs = 2000;    // before the first part
  int periodMs = 50;     // between parts: other writers get the lock meanwhile
  int retryMs = 5000;    // after a part failed (the file was locked, say)
  int mostFailures = 12; // in a row, then it gives up for this run
  int lockWaitMs = 200;  // for another program's lock, before a part fails
  int64_t rows = kIndexFillRows;  // per part
};

class ContentIndexFiller {
 public:
  ContentIndexFiller() = default;
  ~ContentIndexFiller() { Stop(); }
  ContentIndexFiller(const ContentIndexFiller&) = delete;
  ContentIndexFiller& operator=(const ContentIndexFiller&) = delete;

  // Starts the thread, which opens `connectionString` itself; a filler that
  // runs is stopped first. Meant for a database file of the program's own:
  // on anything else the first part finds the index Unavailable.
  void Start(const std::u16string& connectionString, const IndexFillPace& pace);
  // Asks the thread to end and waits for it: at most for the part in progress.
  void Stop();
  // The last part's result: More while parts remain (or when stopped
  // midway), Ready once whole, Unavailable or Failed when it gave up.
  IndexFill Outcome() const;
  bool Finished() const;  // the thread has nothing more to do
  // For the window's reads: while the lock lives, the filler begins no commit
  // (one in progress ends first: a few writes to the file). Release it only
  // once the reads are done, their statements reset.
  std::unique_lock<std::mutex> HoldCommits() { return std::unique_lock<std::mutex>(commitTurn_); }

 private:
  void Run(std::u16string connectionString, IndexFillPace pace);
  // Waits; false when Stop came meanwhile.
  bool Pause(int milliseconds);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool finished_ = true;
  IndexFill outcome_ = IndexFill::More;
  std::mutex commitTurn_;
  std::thread thread_;
};

}  // namespace kwo::store
