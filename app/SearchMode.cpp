#include "app/SearchMode.h"

#include <commctrl.h>
#include <imm.h>

#include "store/ShorthandTable.h"
#include "text/Utf.h"
#include "ui/Window.h"

namespace kwo::app {
namespace {

constexpr int kLongestSearchText = 100;
constexpr COLORREF kSearchBackground = RGB(255, 246, 200);

void SetInputMethodOpen(HWND window, bool open) {
  if (HIMC context = ImmGetContext(window)) {
    ImmSetOpenStatus(context, open ? TRUE : FALSE);
    ImmReleaseContext(window, context);
  }
}

void ChangeStyle(HWND window, LONG_PTR add, LONG_PTR remove) {
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  SetWindowLongPtrW(window, GWL_STYLE, (style | add) & ~remove);
}

// A key press or a character (typed, or from the input method) waiting in the thread's queue.
bool TypingQueued() {
  MSG message;
  for (UINT kind : {WM_KEYDOWN, WM_CHAR, WM_IME_CHAR, WM_IME_COMPOSITION}) {
    if (PeekMessageW(&message, nullptr, kind, kind, PM_NOREMOVE | PM_NOYIELD)) return true;
  }
  return false;
}

bool IsFindKey(UINT key) { return key == VK_F3 || (key == 'F' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0); }

}  // namespace

void CSearchMode::Attach(HWND dialog, controls::CEdit37* box, CListFiller* list, HWND content, HWND label) {
  dialog_ = dialog;
  box_ = box;
  list_ = list;
  content_ = content;
  label_ = label;
}

CSearchMode::KeyResult CSearchMode::OnBoxKey(UINT key) {
  if (!active_) {
    if (!IsFindKey(key)) return KeyResult::Ignored;
    Enter();
    return KeyResult::Entered;
  }
  switch (key) {
    case VK_ESCAPE:
      Leave();
      return KeyResult::Left;
    case VK_UP:
      if (chosen_ > 0) Choose(chosen_ - 1);
      return KeyResult::Handled;
    case VK_DOWN:
      if (chosen_ + 1 < static_cast<int>(found_.size())) Choose(chosen_ + 1);
      return KeyResult::Handled;
    default:
      return IsFindKey(key) ? KeyResult::Handled : KeyResult::Ignored;
  }
}

CSearchMode::ListResult CSearchMode::OnListNotify(const NMHDR& header) {
  if (!active_ || header.hwndFrom != list_->Handle()) return ListResult::Ignored;
  switch (header.code) {
    case LVN_ITEMCHANGED: {  // a click, or a key pressed in the list
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      const bool selected = (change.uNewState & LVIS_SELECTED) != 0 && (change.uOldState & LVIS_SELECTED) == 0;
      if (!selected || change.iItem == chosen_ || change.iItem < 0 ||
          change.iItem >= static_cast<int>(found_.size())) {
        return ListResult::Ignored;
      }
      // The list has selected the row itself: only the box follows.
      chosen_ = change.iItem;
      SetWindowTextW(content_, text::ToWide(found_[chosen_].content).c_str());
      return ListResult::Chosen;
    }
    case NM_DBLCLK: {
      const int row = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
      if (row < 0 || row >= static_cast<int>(found_.size())) return ListResult::Ignored;
      if (row != chosen_) Choose(row);
      return ListResult::Send;
    }
    default:
      return ListResult::Ignored;
  }
}

void CSearchMode::Enter() {
  active_ = true;
  box_->SetFreeText(true);
  HWND box = box_->Handle();
  ChangeStyle(box, 0, ES_UPPERCASE);
  SendMessageW(box, EM_LIMITTEXT, kLongestSearchText, 0);
  SendMessageW(box, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"查找内容…"));
  SetWindowTextW(label_, L"查找");
  ChangeStyle(list_->Handle(), LVS_SHOWSELALWAYS | LVS_SINGLESEL, 0);
  SetInputMethodOpen(dialog_, true);
  InvalidateRect(box, nullptr, TRUE);
  if (GetWindowTextLengthW(box) == 0) ShowNothing();
}

void CSearchMode::Leave() {
  active_ = false;
  found_.clear();
  chosen_ = -1;
  box_->SetFreeText(false);
  HWND box = box_->Handle();
  ChangeStyle(box, ES_UPPERCASE, 0);
  SendMessageW(box, EM_LIMITTEXT, store::kMaxShortKeyLength, 0);
  SendMessageW(box, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(L""));
  SetWindowTextW(label_, L"速记符");
  ChangeStyle(list_->Handle(), 0, LVS_SHOWSELALWAYS | LVS_SINGLESEL);
  SetInputMethodOpen(dialog_, false);
  InvalidateRect(box, nullptr, TRUE);
}

std::optional<ListOutcome> CSearchMode::Search(const std::shared_ptr<store::DbConnection>& connection) {
  if (!active_) return std::nullopt;
  const std::u16string text = text::FromWide(ui::WindowText(box_->Handle()));
  if (text.empty()) {
    Leave();
    return std::nullopt;
  }
  store::DbError error;  // a failed search lists nothing, like a failed short-key search
  ListOutcome outcome;
  outcome.failed = !search_.Find(connection, text, found_, error);
  outcome.locked = outcome.failed && error.failure == store::DbFailure::Locked;
  chosen_ = -1;
  list_->ShowChanged(found_);
  if (found_.empty()) {
    SetWindowTextW(content_, L"");
  } else {
    Choose(0);
  }
  return outcome;
}

bool CSearchMode::GiveWayToTyping() {
  if (!active_ || !TypingQueued()) return false;
  ShowNothing();
  return true;
}

void CSearchMode::ShowNothing() {
  found_.clear();
  chosen_ = -1;
  list_->Clear();
  SetWindowTextW(content_, L"");
}

void CSearchMode::Choose(int row) {
  chosen_ = row;
  list_->Select(row);
  SetWindowTextW(content_, text::ToWide(found_[row].content).c_str());
}

HBRUSH CSearchMode::BoxBrush(HWND control, HDC dc) {
  if (!active_ || control != box_->Handle()) return nullptr;
  SetBkColor(dc, kSearchBackground);
  return boxBrush_.Get(kSearchBackground);
}

}  // namespace kwo::app
