#pragma once
// The main window's list of entries, filled alike by the short-key search and
// by the search by content: one wait while a search reads, one way of
// replacing the rows, one outcome for the window to judge.
#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

#include "store/ContentIndexFiller.h"
#include "store/ContentSearch.h"
#include "store/DbEngine.h"
#include "ui/Controls.h"

namespace kwo::app {

// A search waits this long at most for another program's lock on the database.
constexpr int kSearchWaitMs = 200;

// While a search for the list reads: typing must not freeze while another
// program holds the database locked, so a lock is waited for kSearchWaitMs
// at most; and the content index filler begins no commit, so that the reads
// never meet its write lock. Ends once the reads are done and their
// statements reset.
class SearchWait {
 public:
  SearchWait(const std::shared_ptr<kwo::store::DbConnection>& connection, kwo::store::ContentIndexFiller& filler);
  SearchWait(const SearchWait&) = delete;
  SearchWait& operator=(const SearchWait&) = delete;

 private:
  std::unique_lock<std::mutex> commitsHeld_;
  kwo::store::ScopedBusyTimeout shortWait_;
};

// How a search for the list went: whether the database failed, and whether
// for a lock. A failed search lists nothing.
struct ListOutcome {
  bool failed = false;
  bool locked = false;
};

class CListFiller {
 public:
  void Attach(HWND list) { view_.Attach(list); }
  HWND Handle() const { return view_.Handle(); }
  // For the columns.
  const kwo::ui::CListView& View() const { return view_; }

  // Replaces the rows with `rows` (key, content), in order; the list repaints
  // once, with every row in. A row the list refuses ends the filling: the
  // rows before it stay.
  void Show(const std::vector<kwo::store::FoundEntry>& rows);
  // The same, but rows the list already holds are left as they are: another
  // letter often finds the same rows, and the list neither flickers nor loses
  // its selection then.
  void ShowChanged(const std::vector<kwo::store::FoundEntry>& rows);
  // Empties the list.
  void Clear();
  // Selects and focuses `row` alone and scrolls it into view.
  void Select(int row);

 private:
  kwo::ui::CListView view_;
  std::vector<kwo::store::FoundEntry> shown_;  // the rows the list holds
};

}  // namespace kwo::app
