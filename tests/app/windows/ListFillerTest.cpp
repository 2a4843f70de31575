// The list filler on a real list-view control: the rows it shows, and which
// fillings leave the list (and its selection) as it was.
#include "app/ListFiller.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/WindowScript.h"

namespace kwo::app {
namespace {

using Rows = std::vector<store::FoundEntry>;

class ListFillerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 300, 200, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    if (list_ == nullptr) GTEST_SKIP() << test::kNoWindows;
    filler_.Attach(list_);
    filler_.View().InsertColumn(0, L"速记符", 60);
    filler_.View().InsertColumn(1, L"内容", 200);
  }
  void TearDown() override {
    if (list_ != nullptr) DestroyWindow(list_);
  }

  // Every row as "key|content".
  std::vector<std::wstring> Shown() const {
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) rows.push_back(Cell(row, 0) + L"|" + Cell(row, 1));
    return rows;
  }
  std::wstring Cell(int row, int column) const {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  int Selected() const { return static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_SELECTED)); }

  HWND list_ = nullptr;
  CListFiller filler_;
};

const Rows kTwo{{1, u"A", u"您好"}, {2, u"AB", u"此致{ENTER}敬礼"}};
const Rows kOther{{3, u"K", u"内容K"}};

TEST_F(ListFillerTest, ShowReplacesTheRowsWithKeysAndContents) {
  filler_.Show(kTwo);
  EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"A|您好", L"AB|此致{ENTER}敬礼"}));
  filler_.Show(kOther);
  EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"K|内容K"}));
  filler_.Show({});
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ListFillerTest, SelectChoosesOneRowAlone) {
  filler_.Show(kTwo);
  filler_.Select(0);
  filler_.Select(1);
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 1);
}

// The search by content fills with ShowChanged: the same rows again keep the
// chosen one; other rows, or a list emptied in between, are shown afresh.
TEST_F(ListFillerTest, ShowChangedRebuildsOnlyWhatDiffersFromTheList) {
  filler_.ShowChanged(kTwo);
  filler_.Select(1);
  filler_.ShowChanged(kTwo);
  EXPECT_EQ(Selected(), 1);

  filler_.ShowChanged(kOther);
  EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"K|内容K"}));
  EXPECT_EQ(Selected(), -1);

  filler_.Clear();
  filler_.ShowChanged(kOther);
  EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"K|内容K"}));

  // Show always rebuilds: the short-key search leaves nothing selected.
  filler_.Select(0);
  filler_.Show(kOther);
  EXPECT_EQ(Selected(), -1);
}

}  // namespace
}  // namespace kwo::app
