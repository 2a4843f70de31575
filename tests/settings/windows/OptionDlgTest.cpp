// The options dialog on its real resource, with a real kwo.ini in a
// temporary folder, driven from a timer while it runs modally.
#include "settings/OptionDlg.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/WindowScript.h"
#include "res/resource.h"
#include "settings/IniFile.h"
#include "ui/UnsavedChanges.h"

namespace kwo::settings {
namespace {

namespace fs = std::filesystem;
using test::FindThreadDialog;
using test::ModalScript;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class OptionDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanCreateWindows()) GTEST_SKIP() << test::kNoWindows;
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    folder_ = fs::temp_directory_path() / ("kwo-options-" + std::to_string(GetCurrentProcessId()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    ini_ = folder_ / "kwo.ini";
    std::ofstream(ini_, std::ios::binary) << "[sys]\r\nconnectionString=Provider=SQLite;Data Source=x.db\r\n"
                                             "[Options]\r\nEnablePre=0\r\nInterval=5\r\nPreStr=old\r\n"
                                             "[Menu]\r\nhome=https://example.com/\r\n";
    dialog_.iniPath = ini_.wstring();
    dialog_.options.interval = 5;
    dialog_.options.preStr = u"old";
    dialog_.options.red = 10;
    dialog_.options.green = 20;
    dialog_.options.blue = 30;
    dialog_.options.pasteAbove = 150;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  // Runs the dialog; `act` gets its window once it is there.
  void RunWith(std::function<void(HWND)> act, std::vector<std::function<bool()>> more = {}) {
    std::vector<std::function<bool()>> steps{[act] {
      HWND dialog = FindThreadDialog(L"参数设置");
      if (dialog == nullptr) return false;
      act(dialog);
      return true;
    }};
    steps.insert(steps.end(), more.begin(), more.end());
    ModalScript script(std::move(steps));
    script.Run([this] { result_ = dialog_.DoModal(nullptr); });
    ASSERT_TRUE(script.finished());
  }

  fs::path folder_;
  fs::path ini_;
  COptionDlg dialog_;
  INT_PTR result_ = 0;
};

TEST_F(OptionDialog, OpensWithTheValuesItWasGiven) {
  std::wstring pre, interval, pasteAbove;
  bool preChecked = true;
  RunWith([&](HWND dialog) {
    wchar_t text[64];
    GetDlgItemTextW(dialog, IDC_PRE_STR, text, 64);
    pre = text;
    GetDlgItemTextW(dialog, IDC_INTERVAL, text, 64);
    interval = text;
    GetDlgItemTextW(dialog, IDC_PASTE_ABOVE, text, 64);
    pasteAbove = text;
    preChecked = IsDlgButtonChecked(dialog, IDC_ENABLE_PRE) == BST_CHECKED;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(pre, L"old");
  EXPECT_EQ(interval, L"5");
  EXPECT_EQ(pasteAbove, L"150");
  EXPECT_FALSE(preChecked);
}

TEST_F(OptionDialog, OkWritesTheOptionsAndKeepsTheOtherSections) {
  RunWith([](HWND dialog) {
    CheckDlgButton(dialog, IDC_ENABLE_PRE, BST_CHECKED);
    CheckDlgButton(dialog, IDC_TIMER_ON, BST_CHECKED);
    SetDlgItemTextW(dialog, IDC_PRE_STR, L"前缀{ENTER}");
    SetDlgItemTextW(dialog, IDC_TIMER_STR, L"定时");
    SetDlgItemTextW(dialog, IDC_INTERVAL, L"7");
    SetDlgItemTextW(dialog, IDC_PASTE_ABOVE, L"200");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(dialog_.options.pasteAbove, 200);
  EXPECT_EQ(dialog_.options.enablePre, 1);
  EXPECT_EQ(dialog_.options.enableAfter, 0);
  EXPECT_EQ(dialog_.timerOn, 1);
  EXPECT_EQ(dialog_.options.interval, 7);
  EXPECT_EQ(dialog_.options.preStr, u"前缀{ENTER}");
  EXPECT_FALSE(dialog_.saveFailed);
  EXPECT_EQ(RGB(dialog_.options.red, dialog_.options.green, dialog_.options.blue), RGB(10, 20, 30));

  CIniFile ini;
  ini.Load(ini_);
  EXPECT_EQ(ini.GetInt(u"Options", u"EnablePre"), 1);
  EXPECT_EQ(ini.GetInt(u"Options", u"Interval"), 7);
  EXPECT_EQ(ini.GetInt(u"Options", u"PasteAbove"), 200);
  EXPECT_EQ(ini.GetString(u"Options", u"PreStr"), u"前缀{ENTER}");
  EXPECT_EQ(ini.GetString(u"Options", u"TimerStr"), u"定时");
  EXPECT_EQ(ini.GetInt(u"BackGround", u"Red"), 10);
  EXPECT_EQ(ini.GetInt(u"BackGround", u"Green"), 20);
  EXPECT_EQ(ini.GetInt(u"BackGround", u"Blue"), 30);
  EXPECT_EQ(ini.GetString(u"sys", u"connectionString"), u"Provider=SQLite;Data Source=x.db");
  EXPECT_EQ(ini.GetString(u"Menu", u"home"), u"https://example.com/");
  const CIniSection* options = ini.FindSection(u"Options");
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(options->FindKey(u"TimerOn"), nullptr);  // timed sending is never stored
}

TEST_F(OptionDialog, CancelWritesNothingAndKeepsTheCopies) {
  const std::string before = ReadBytes(ini_);
  // Asked before the program ends: only a value the user changed counts as
  // unsaved, and a change typed back is none.
  std::vector<LRESULT> unsaved;
  const auto ask = [&unsaved](HWND dialog) { unsaved.push_back(SendMessageW(dialog, ui::kQueryUnsavedChanges, 0, 0)); };
  RunWith([&](HWND dialog) {
    ask(dialog);
    SetDlgItemTextW(dialog, IDC_PRE_STR, L"changed");
    ask(dialog);
    SetDlgItemTextW(dialog, IDC_PRE_STR, L"old");
    ask(dialog);
    CheckDlgButton(dialog, IDC_ENABLE_PRE, BST_CHECKED);
    ask(dialog);
    CheckDlgButton(dialog, IDC_ENABLE_PRE, BST_UNCHECKED);
    SetDlgItemTextW(dialog, IDC_HOTKEY, L"Ctrl+Alt+K");
    ask(dialog);
    CheckDlgButton(dialog, IDC_ENABLE_PRE, BST_CHECKED);
    SetDlgItemTextW(dialog, IDC_PRE_STR, L"changed");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(unsaved, (std::vector<LRESULT>{0, 1, 0, 1, 1}));
  EXPECT_EQ(result_, IDCANCEL);
  EXPECT_EQ(dialog_.options.enablePre, 0);
  EXPECT_EQ(dialog_.options.preStr, u"old");
  EXPECT_EQ(ReadBytes(ini_), before);
}

TEST_F(OptionDialog, IntervalThatIsNoNumberIsRefusedAndTheDialogStaysOpen) {
  std::wstring notice;
  HWND options = nullptr;
  RunWith(
      [&](HWND dialog) {
        options = dialog;
        SetDlgItemTextW(dialog, IDC_INTERVAL, L"-5abc");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      },
      {[&] {
         HWND box = FindThreadDialog(L"疾书精灵");
         if (box == nullptr) return false;
         notice = test::DialogText(box);
         PostMessageW(box, WM_COMMAND, IDOK, 0);
         return true;
       },
       [&] {
         if (FindThreadDialog(L"疾书精灵") != nullptr) return false;
         SetDlgItemTextW(options, IDC_INTERVAL, L"120");  // above the old limit of 100
         PostMessageW(options, WM_COMMAND, IDOK, 0);
         return true;
       }});
  EXPECT_NE(notice.find(L"0 到 1440"), std::wstring::npos);
  EXPECT_EQ(dialog_.options.interval, 120);
}

TEST_F(OptionDialog, HotKeyThatTypesOrThatWindowsKeepsIsRefusedWithTheReason) {
  const struct {
    const wchar_t* typed;
    const wchar_t* reason;
  } refused[] = {{L"Space", L"Space 是打字时要用的键"},
                 {L"a", L"A 是打字时要用的键"},
                 {L"Shift+Enter", L"Shift+Enter 是打字时要用的键"},
                 {L"Backspace", L"Backspace 是打字时要用的键"},
                 {L"Ctrl+Alt+Delete", L"Ctrl+Alt+Delete 由 Windows 自己使用"},
                 {L"Alt+F4", L"Alt+F4 用来关闭前台的窗口"}};
  HWND options = nullptr;
  std::vector<std::wstring> notices, boxAfter;
  std::vector<std::function<bool()>> steps;
  for (size_t i = 1; i <= std::size(refused); ++i) {
    steps.push_back([&, i] {
      HWND box = FindThreadDialog(L"疾书精灵");
      if (box == nullptr) return false;
      notices.push_back(test::DialogText(box));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return true;
    });
    steps.push_back([&, i] {
      if (FindThreadDialog(L"疾书精灵") != nullptr) return false;
      boxAfter.push_back(ui::ItemText(options, IDC_HOTKEY));
      // The next refused one, and at last one that is accepted alone.
      SetDlgItemTextW(options, IDC_HOTKEY, i < std::size(refused) ? refused[i].typed : L"F8");
      PostMessageW(options, WM_COMMAND, IDOK, 0);
      return true;
    });
  }
  RunWith(
      [&](HWND dialog) {
        options = dialog;
        SetDlgItemTextW(dialog, IDC_HOTKEY, refused[0].typed);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      },
      steps);
  ASSERT_EQ(notices.size(), std::size(refused));
  for (size_t i = 0; i < notices.size(); ++i) {
    EXPECT_NE(notices[i].find(refused[i].reason), std::wstring::npos) << notices[i];
    EXPECT_EQ(boxAfter[i], L"Win+Space") << refused[i].typed;  // the box shows the hotkey in force again
  }
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(dialog_.hotKey, (keys::HotKey{0, 119}));
  EXPECT_NE(ReadBytes(ini_).find("HotKey=F8\r\n"), std::string::npos) << ReadBytes(ini_);
}

TEST_F(OptionDialog, BrokenSequenceIsReportedWithItsPlaceAndMaySaveAnyway) {
  for (const int answer : {IDNO, IDYES}) {
    std::wstring warning;
    INT_PTR afterWarning = -1;
    HWND options = nullptr;
    std::vector<std::function<bool()>> steps{[&] {
      HWND box = FindThreadDialog(L"疾书精灵");
      if (box == nullptr) return false;
      warning = test::DialogText(box);
      PostMessageW(box, WM_COMMAND, answer, 0);
      return true;
    }};
    if (answer == IDNO) {
      steps.push_back([&] {
        if (FindThreadDialog(L"疾书精灵") != nullptr) return false;
        afterWarning = IsWindow(options) ? 1 : 0;
        PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
        return true;
      });
    }
    RunWith(
        [&](HWND dialog) {
          options = dialog;
          SetDlgItemTextW(dialog, IDC_PRE_STR, L"ab{HOME 中文");
          PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        },
        steps);
    EXPECT_NE(warning.find(L"发送前的序列：第 3 个字符处的 {HOME 中文 缺少右括号"), std::wstring::npos) << answer;
    if (answer == IDNO) {
      EXPECT_EQ(afterWarning, 1);  // back in the dialog
      EXPECT_EQ(result_, IDCANCEL);
    } else {
      EXPECT_EQ(result_, IDOK);
      EXPECT_EQ(dialog_.options.preStr, u"ab{HOME 中文");
    }
  }
}

TEST_F(OptionDialog, UnwritableFileIsReportedAndTheOptionsStillApply) {
  // A folder where the new file would be written makes the save fail.
  fs::create_directory(folder_ / "kwo.ini.tmp");
  const std::string before = ReadBytes(ini_);
  bool warned = false;
  RunWith(
      [](HWND dialog) {
        CheckDlgButton(dialog, IDC_ENABLE_AFTER, BST_CHECKED);
        SetDlgItemTextW(dialog, IDC_AFTER_STR, L"后缀");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      },
      {[&] {
        HWND box = FindThreadDialog(L"疾书精灵");
        if (box == nullptr) return false;
        warned = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
      }});
  EXPECT_TRUE(warned);
  EXPECT_TRUE(dialog_.saveFailed);
  EXPECT_EQ(result_, IDOK);
  EXPECT_EQ(dialog_.options.enableAfter, 1);
  EXPECT_EQ(dialog_.options.afterStr, u"后缀");
  EXPECT_EQ(ReadBytes(ini_), before);
}

// A dialog of this thread other than `except`: the colour chooser, when it is open.
HWND OtherThreadDialog(HWND except) {
  for (HWND dialog : test::ThreadDialogs()) {
    if (dialog != except) return dialog;
  }
  return nullptr;
}

TEST_F(OptionDialog, SwatchOpensTheChooserOnAClickOnly) {
  HWND options = nullptr;
  HWND afterDoubleClick = nullptr;
  bool waited = false;
  bool chooserOpened = false;
  RunWith(
      [&](HWND dialog) {
        options = dialog;
        // The second click of a double click must not open another chooser
        // over the first one.
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_COLOUR, STN_DBLCLK),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_COLOUR)));
      },
      {[&] {
         // One tick later the posted command has been handled.
         if (!waited) {
           waited = true;
           return false;
         }
         afterDoubleClick = OtherThreadDialog(options);
         if (afterDoubleClick != nullptr) EndDialog(afterDoubleClick, IDCANCEL);
         PostMessageW(options, WM_COMMAND, MAKEWPARAM(IDC_COLOUR, STN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(options, IDC_COLOUR)));
         return true;
       },
       [&] {
         HWND chooser = OtherThreadDialog(options);
         if (chooser == nullptr) return false;
         chooserOpened = true;
         PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
         return true;
       },
       [&] {
         if (OtherThreadDialog(options) != nullptr) return false;
         PostMessageW(options, WM_COMMAND, IDOK, 0);
         return true;
       }});
  EXPECT_EQ(afterDoubleClick, nullptr);
  EXPECT_TRUE(chooserOpened);
  // Cancelling the chooser leaves the colour in force.
  EXPECT_EQ(RGB(dialog_.options.red, dialog_.options.green, dialog_.options.blue), RGB(10, 20, 30));
}

}  // namespace
}  // namespace kwo::settings
