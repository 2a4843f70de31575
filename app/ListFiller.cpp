#include "app/ListFiller.h"

#include "text/Utf.h"
#include "ui/Window.h"

namespace kwo::app {

SearchWait::SearchWait(const std::shared_ptr<store::DbConnection>& connection, store::ContentIndexFiller& filler)
    : commitsHeld_(filler.HoldCommits()), shortWait_(connection, kSearchWaitMs) {}

void CListFiller::Show(const std::vector<store::FoundEntry>& rows) {
  const ui::RedrawPause pause(view_.Handle());
  shown_ = rows;
  view_.DeleteAllItems();
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = view_.InsertItem(static_cast<int>(i), text::ToWide(rows[i].shortKey));
    if (row < 0) break;
    view_.SetItemText(row, 1, text::ToWide(rows[i].content));
  }
}

void CListFiller::ShowChanged(const std::vector<store::FoundEntry>& rows) {
  if (rows == shown_ && view_.ItemCount() == static_cast<int>(rows.size())) return;
  Show(rows);
}

void CListFiller::Clear() {
  shown_.clear();
  view_.DeleteAllItems();
}

void CListFiller::Select(int row) {
  constexpr UINT kChosen = LVIS_SELECTED | LVIS_FOCUSED;
  view_.SetItemState(-1, 0, kChosen);
  view_.SetItemState(row, kChosen, kChosen);
  view_.EnsureVisible(row);
}

}  // namespace kwo::app
