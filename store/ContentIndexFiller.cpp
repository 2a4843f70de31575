#include "store/ContentIndexFiller.h"

#include <chrono>
#include <utility>

#include "base/ThreadStack.h"

namespace kwo::store {

void ContentIndexFiller::Start(const std::u16string& connectionString, const IndexFillPace& pace) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
    finished_ = false;
    outcome_ = IndexFill::More;
  }
  thread_ = std::thread([this, connectionString, pace] {
    Run(connectionString, pace);
    // The thread ends for good right after: where its stack would outlive it, give it back now.
    ReleaseStackBeforeEnd();
  });
}

void ContentIndexFiller::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

IndexFill ContentIndexFiller::Outcome() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outcome_;
}

bool ContentIndexFiller::Finished() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

bool ContentIndexFiller::Pause(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping_; });
}

void ContentIndexFiller::Run(std::u16string connectionString, IndexFillPace pace) {
  int failures = 0;
  DbConnection connection;
  IndexFill fill = IndexFill::More;
  DbError error;
  // Only a file that is there: one deleted or renamed meanwhile must not be made anew, empty.
  if (Pause(pace.delayMs) && connection.Open(connectionString, MissingFile::Fail, error)) {
    // Never long in another program's lock, so that Stop is never kept waiting.
    connection.Session()->SetBusyTimeout(pace.lockWaitMs);
    // A part's pages stay in memory until its commit: spilling them to the
    // file midway would take the exclusive lock, which keeps readers out.
    DbError ignored;
    connection.Session()->Execute(u"PRAGMA cache_spill=off", ignored);
    for (;;) {
      fill = FillContentIndex(*connection.Session(), pace.rows, error, &commitTurn_);
      failures = fill == IndexFill::Failed ? failures + 1 : 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        outcome_ = fill;
      }
      if (fill == IndexFill::Ready || fill == IndexFill::Unavailable || failures >= pace.mostFailures) break;
      if (!Pause(fill == IndexFill::More ? pace.periodMs : pace.retryMs)) break;
    }
  } else if (!connection.IsOpen()) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) outcome_ = IndexFill::Failed;
  }
  connection.Close();
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
}

}  // namespace kwo::store
