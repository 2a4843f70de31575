#pragma once
// Search mode of the main window's short-key box (Ctrl+F or F3): the box
// takes any text, the list shows the entries whose key or content holds every
// word, Up and Down choose one and put its content into the content box,
// where Enter sends it as usual. Esc, or emptying the box, ends the mode.
// The box shows the mode with a cue text and its own background colour, and
// the input method is switched on for it.
#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "app/ListFiller.h"
#include "controls/Edit37.h"
#include "store/ContentSearch.h"
#include "ui/Handles.h"

namespace kwo::app {

class CSearchMode {
 public:
  // What a key press in the box did.
  enum class KeyResult { Ignored, Entered, Left, Handled };

  // The list is the main window's, filled by the short-key search too.
  void Attach(HWND dialog, kwo::controls::CEdit37* box, CListFiller* list, HWND content, HWND label);
  bool Active() const { return active_; }

  // What a notification of the list asked for: a click chooses a row, a double-click sends it.
  enum class ListResult { Ignored, Chosen, Send };

  KeyResult OnBoxKey(UINT key);
  // In search mode only; in key mode the list's clicks do nothing.
  ListResult OnListNotify(const NMHDR& header);
  // In search mode: searches for the box's text, fills the list and chooses
  // the best entry (nothing listed when the database failed). An empty box
  // ends the mode first: nothing, and the short-key search runs as usual.
  std::optional<ListOutcome> Search(const std::shared_ptr<kwo::store::DbConnection>& connection);
  // In search mode, when more typing waits in the thread's queue: the search
  // for the box's text now would be stale before it is shown, so the list
  // and the content box are emptied instead, and true returned; the caller
  // searches once the typing has been handled.
  bool GiveWayToTyping();
  // The box's brush in search mode (WM_CTLCOLOREDIT); nullptr otherwise.
  HBRUSH BoxBrush(HWND control, HDC dc);

 private:
  void Enter();
  void Leave();
  void Choose(int row);
  void ShowNothing();

  bool active_ = false;
  HWND dialog_ = nullptr;
  kwo::controls::CEdit37* box_ = nullptr;
  CListFiller* list_ = nullptr;
  HWND content_ = nullptr;
  HWND label_ = nullptr;
  int chosen_ = -1;
  kwo::store::ContentSearch search_;
  std::vector<kwo::store::FoundEntry> found_;
  kwo::ui::ColourBrush boxBrush_;
};

}  // namespace kwo::app
