// The entry edit dialog on its real resource and a real database, driven from
// a timer while it runs modally.
#include "entries/DialogAdd.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/TempDatabase.h"
#include "support/WindowScript.h"
#include "res/resource.h"
#include "text/Utf.h"

namespace kwo::entries {
namespace {

using test::FindThreadDialog;
using test::ModalScript;
using kwo::testing::TempStore;
using Step = std::function<bool()>;

constexpr wchar_t kTitle[] = L"编辑速记";

std::wstring Text(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return text;
}
void Click(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class EditDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanCreateWindows()) GTEST_SKIP() << test::kNoWindows;
  }

  // Runs the dialog; every action gets its window. Returns the modal result.
  INT_PTR Run(std::vector<std::function<void(HWND)>> actions, std::vector<Step> more = {},
              unsigned timeoutMs = 10000) {
    std::vector<Step> steps;
    for (auto& action : actions) {
      steps.push_back([this, action] {
        HWND dialog = FindThreadDialog(kTitle);
        if (dialog == nullptr) return false;
        action(dialog);
        return true;
      });
    }
    steps.insert(steps.end(), more.begin(), more.end());
    INT_PTR result = -2;
    ModalScript script(std::move(steps));
    script.Run([&] {
      CDialogAdd dialog(store.database);
      result = dialog.DoModal(nullptr);
    }, timeoutMs);
    EXPECT_TRUE(script.finished());
    return result;
  }

  TempStore store;
};

TEST_F(EditDialog, LayoutTextsAndTabOrder) {
  RECT client{}, unit{0, 0, 316, 224};
  std::vector<int> order;
  std::vector<std::wstring> texts;
  LRESULT limit = 0;
  int firstId = 0;
  Run({[&](HWND d) {
    GetClientRect(d, &client);
    MapDialogRect(d, &unit);
    firstId = GetDlgCtrlID(GetWindow(d, GW_CHILD));  // the first tab stop gets the focus on opening
    limit = SendDlgItemMessageW(d, IDC_SHORTKEY, EM_GETLIMITTEXT, 0, 0);
    HWND item = GetDlgItem(d, IDC_SHORTKEY);
    for (int i = 0; i < 8; ++i, item = GetNextDlgTabItem(d, item, FALSE)) order.push_back(GetDlgCtrlID(item));
    for (int id : {IDC_CONTENT_CHECK, IDC_TRY, IDOK, IDC_ESCAPE, IDC_UNESCAPE, IDC_DELETE, IDCANCEL}) {
      texts.push_back(Text(d, id));
    }
    Click(d, IDCANCEL);
  }});
  EXPECT_EQ(client.right, unit.right);
  EXPECT_EQ(client.bottom, unit.bottom);
  EXPECT_EQ(firstId, IDC_SHORTKEY);
  EXPECT_EQ(limit, 6);
  EXPECT_EQ(order,
            (std::vector<int>{IDC_SHORTKEY, IDC_CONTENT, IDC_TRY, IDOK, IDC_ESCAPE, IDC_UNESCAPE, IDC_DELETE, IDCANCEL}));
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"内容正确", L"试一试", L"确定", L"转义", L"反转义", L"删除", L"取消"}));
}

TEST_F(EditDialog, EveryKeyChangeLooksTheKeyUp) {
  store.Put(u"AB", u"已存内容\r\n第二行");
  std::vector<std::wstring> seen;
  const auto result = Run({[&](HWND d) {
    SetDlgItemTextW(d, IDC_CONTENT, L"typed first");
    SetDlgItemTextW(d, IDC_SHORTKEY, L"AB");
    seen.push_back(Text(d, IDC_CONTENT));
    SetDlgItemTextW(d, IDC_SHORTKEY, L"ABC");
    seen.push_back(Text(d, IDC_CONTENT));
    SetDlgItemTextW(d, IDC_SHORTKEY, L"AB");
    seen.push_back(Text(d, IDC_CONTENT));
    Click(d, IDCANCEL);
  }});
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"已存内容\r\n第二行", L"", L"已存内容\r\n第二行"}));
  EXPECT_EQ(store.Rows().at(u"AB").content, u"已存内容\r\n第二行");
}

TEST_F(EditDialog, SavesNewEntriesAndRewritesOnlyTheContentOfExistingOnes) {
  store.Put(u"OLD", u"before");
  EXPECT_EQ(Run({[&](HWND d) {
              SetDlgItemTextW(d, IDC_SHORTKEY, L"ZZZZZZ");
              SetDlgItemTextW(d, IDC_CONTENT, L"新的内容");
              Click(d, IDOK);
            }}),
            IDOK);
  Run({[&](HWND d) {
    SetDlgItemTextW(d, IDC_SHORTKEY, L"OLD");
    SetDlgItemTextW(d, IDC_CONTENT, L"after");
    Click(d, IDOK);
  }});
  Run({[&](HWND d) {
    SetDlgItemTextW(d, IDC_SHORTKEY, L"E");  // a new key with empty content
    Click(d, IDOK);
  }});
  const auto rows = store.Rows();
  EXPECT_EQ(rows.at(u"ZZZZZZ"), (TempStore::Row{u"2565726408", u"新的内容"}));
  EXPECT_EQ(rows.at(u"OLD").content, u"after");
  EXPECT_EQ(rows.at(u"OLD").id, store::IdText(store::ShortKeyId(u"OLD")));
  EXPECT_EQ(rows.at(u"E").content, u"");
}

TEST_F(EditDialog, OkWithEmptyKeySavesNothingAndKeepsWhatWasTyped) {
  HWND dialog = nullptr;
  std::wstring contentAfter;
  const auto result = Run({[&](HWND d) {
                             dialog = d;
                             SetDlgItemTextW(d, IDC_CONTENT, L"typed work");
                             PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                           }},
                          {[&] { return FindThreadDialog(L"温馨提示") != nullptr; },  // says why
                           [&] {
                             if (FindThreadDialog(L"温馨提示")) return false;
                             contentAfter = Text(dialog, IDC_CONTENT);
                             Click(dialog, IDCANCEL);
                             return true;
                           }});
  EXPECT_EQ(result, IDCANCEL) << "OK closed the dialog";
  EXPECT_EQ(contentAfter, L"typed work");
  EXPECT_TRUE(store.Rows().empty());
}

TEST_F(EditDialog, DeleteNeedsAFoundEntryAndDeletesTheLastOneFound) {
  store.Put(u"DEL", u"x");
  store.Put(u"KEEP", u"y");
  bool stillOpen = false;
  const auto result = Run({[&](HWND d) {
                             Click(d, IDC_DELETE);  // nothing found yet: refused
                             stillOpen = IsWindow(d) && FindThreadDialog(kTitle) != nullptr;
                             SetDlgItemTextW(d, IDC_SHORTKEY, L"NONE");
                             Click(d, IDC_DELETE);  // found nothing: refused
                             SetDlgItemTextW(d, IDC_SHORTKEY, L"DEL");
                             SetDlgItemTextW(d, IDC_SHORTKEY, L"");
                             Click(d, IDC_DELETE);
                           }});
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(result, IDCANCEL);
  const auto rows = store.Rows();
  EXPECT_EQ(rows.count(u"DEL"), 0u);
  EXPECT_EQ(rows.count(u"KEEP"), 1u);
}

TEST_F(EditDialog, EscapeButtonsFollowTheEscapeState) {
  store.Put(u"K", u"x\\{y");
  std::vector<std::wstring> seen;
  bool warned = false;
  Run({[&](HWND d) {
         SetDlgItemTextW(d, IDC_SHORTKEY, L"K");
         Click(d, IDC_ESCAPE);  // loaded with a backslash: refused
         seen.push_back(Text(d, IDC_CONTENT));
         Click(d, IDC_UNESCAPE);
         seen.push_back(Text(d, IDC_CONTENT));
         Click(d, IDC_UNESCAPE);  // refused
         seen.push_back(Text(d, IDC_CONTENT));
         Click(d, IDC_ESCAPE);
         seen.push_back(Text(d, IDC_CONTENT));
         Click(d, IDC_UNESCAPE);
         // Saving now warns for three seconds, then saves the unescaped text.
         PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
       }},
      {[&] {
        warned = FindThreadDialog(L"温馨提示") != nullptr;
        return warned;
      }},
      15000);
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"x\\{y", L"x{y", L"x{y", L"x\\{y"}));
  EXPECT_TRUE(warned);
  EXPECT_EQ(store.Rows().at(u"K").content, u"x{y");
}

TEST_F(EditDialog, PastedKeyIsStoredUnderItsLeadingRun) {
  Run({[&](HWND d) {
    SetDlgItemTextW(d, IDC_SHORTKEY, L"AB-C");
    SetDlgItemTextW(d, IDC_CONTENT, L"pasted");
    Click(d, IDOK);
  }});
  const auto rows = store.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows.at(u"AB"), (TempStore::Row{store::IdText(store::ShortKeyId(u"AB")), u"pasted"}));
}

}  // namespace
}  // namespace kwo::entries
