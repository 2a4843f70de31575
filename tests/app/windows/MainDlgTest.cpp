// The main dialog on its real resource, run modally and hidden, on what
// start-up made of a kwo.ini and a database in a temporary folder.
#include "app/MainDlg.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/Startup.h"
#include "res/resource.h"
#include "support/WindowScript.h"
#include "ui/Window.h"

namespace kwo::app {
namespace {

namespace fs = std::filesystem;
using test::FindThreadDialog;
using test::ModalScript;

int CountThreadDialogs(const std::wstring& title) {
  int n = 0;
  for (HWND dialog : test::ThreadDialogs()) n += test::WindowTitle(dialog) == title ? 1 : 0;
  return n;
}

// A visible dialog that `owner` owns (not a notice, which has no owner).
HWND OwnedVisibleDialog(HWND owner) {
  for (HWND dialog : test::ThreadDialogs()) {
    if (GetWindow(dialog, GW_OWNER) == owner && IsWindowVisible(dialog)) return dialog;
  }
  return nullptr;
}

class MainDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanCreateWindows()) GTEST_SKIP() << test::kNoWindows;
    folder_ = fs::temp_directory_path() / ("kwo-main-" + std::to_string(GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(folder_, ignored);  // a run that crashed may have left one
    fs::create_directories(folder_);
    std::ofstream(folder_ / "kwo.ini", std::ios::binary)
        << "[sys]\r\nconnectionString=Provider=SQLite;Data Source=" << (folder_ / "kwo.db").string() << "\r\n";
    started_ = std::make_unique<CStartup>(ProgramPaths::In(folder_.wstring() + L"\\"));
  }
  void TearDown() override {
    if (folder_.empty()) return;
    started_.reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  fs::path folder_;
  std::unique_ptr<CStartup> started_;
};

TEST_F(MainDialog, TrayCommandWhileTheOptionsDialogIsOpenOpensNoSecondOne) {
  CMainDlg dialog(*started_);
  int openAfterSecondCommand = 0;
  bool waited = false;
  ModalScript script({
      [&] {
        if (dialog.Handle() == nullptr) return false;
        PostMessageW(dialog.Handle(), WM_COMMAND, ID_OPTIONS, 0);
        return true;
      },
      [&] {
        if (FindThreadDialog(L"参数设置") == nullptr) return false;
        // The tray menu sends its command to the disabled main dialog.
        PostMessageW(dialog.Handle(), WM_COMMAND, ID_OPTIONS, 0);
        return true;
      },
      [&] {
        if (!waited) {  // one tick later the posted command has been handled
          waited = true;
          return false;
        }
        openAfterSecondCommand = CountThreadDialogs(L"参数设置");
        if (HWND options = FindThreadDialog(L"参数设置")) PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
        return true;
      },
      [&] {
        if (HWND options = FindThreadDialog(L"参数设置")) {
          PostMessageW(options, WM_COMMAND, IDCANCEL, 0);
          return false;
        }
        EndDialog(dialog.Handle(), IDCANCEL);
        return true;
      },
  });
  script.Run([&] { dialog.DoModal(nullptr); }, 20000);
  EXPECT_TRUE(script.finished());
  EXPECT_EQ(openAfterSecondCommand, 1);
}

TEST_F(MainDialog, DragIconIsTheProgramIcon) {
  CMainDlg dialog(*started_);
  LRESULT answer = 0;
  ModalScript script({[&] {
    if (dialog.Handle() == nullptr) return false;
    // The dialog procedure's return value is the answer to this message.
    answer = SendMessageW(dialog.Handle(), WM_QUERYDRAGICON, 0, 0);
    EndDialog(dialog.Handle(), IDCANCEL);
    return true;
  }});
  script.Run([&] { dialog.DoModal(nullptr); }, 20000);
  ASSERT_TRUE(script.finished());
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(answer), &info)) << answer;
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

TEST_F(MainDialog, CancelledImportLeavesTheBoxesAsTheyWere) {
  CMainDlg dialog(*started_);
  std::wstring content;
  bool fileDialogSeen = false;
  ModalScript script({
      [&] {
        if (dialog.Handle() == nullptr) return false;
        SetDlgItemTextW(dialog.Handle(), IDC_CONTENT, L"edited");
        PostMessageW(dialog.Handle(), WM_COMMAND, ID_IMPORT, 0);
        return true;
      },
      [&] {
        HWND open = OwnedVisibleDialog(dialog.Handle());
        if (open == nullptr) return false;
        fileDialogSeen = true;
        PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
        return true;
      },
      [&] {
        if (OwnedVisibleDialog(dialog.Handle()) != nullptr || IsWindowEnabled(dialog.Handle()) == FALSE) return false;
        content = ui::WindowText(GetDlgItem(dialog.Handle(), IDC_CONTENT));
        EndDialog(dialog.Handle(), IDCANCEL);
        return true;
      },
  });
  script.Run([&] { dialog.DoModal(nullptr); }, 20000);
  ASSERT_TRUE(script.finished());
  EXPECT_TRUE(fileDialogSeen);
  // No search ran: it would have emptied the content box (the key is empty).
  EXPECT_EQ(content, L"edited");
}

// The main dialog with one more command, whose handler fails as an unforeseen
// fault would. The program itself has no such command.
constexpr UINT kFailingCommand = 0x7F00;
class FailingMainDlg : public CMainDlg {
 public:
  using CMainDlg::CMainDlg;

 protected:
  bool OnCommand(UINT id, UINT code, HWND control) override {
    if (id == kFailingCommand) throw std::runtime_error("simulated fault");
    return CMainDlg::OnCommand(id, code, control);
  }
};

TEST_F(MainDialog, HandlerFailureIsReportedAndTheHotkeyStillCallsTheWindowUp) {
  FailingMainDlg dialog(*started_);
  std::wstring reported;
  bool shownByHotkey = false;
  ModalScript script({
      [&] {
        if (dialog.Handle() == nullptr) return false;
        PostMessageW(dialog.Handle(), WM_COMMAND, kFailingCommand, 0);
        return true;
      },
      [&] {
        HWND box = FindThreadDialog(L"出错啦");
        if (box == nullptr || !IsWindowVisible(box)) return false;
        reported = ui::WindowText(GetDlgItem(box, 0xFFFF));  // a message box's text
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
      },
      [&] {
        if (FindThreadDialog(L"出错啦") != nullptr) return false;
        SendMessageW(dialog.Handle(), WM_HOTKEY, KWO_HOTKEY_ID, MAKELPARAM(MOD_WIN, VK_SPACE));
        shownByHotkey = IsWindowVisible(dialog.Handle()) != FALSE;
        EndDialog(dialog.Handle(), IDCANCEL);
        return true;
      },
  });
  script.Run([&] { dialog.DoModal(nullptr); }, 20000);
  ASSERT_TRUE(script.finished());
  EXPECT_NE(reported.find(L"没有完成"), std::wstring::npos) << reported;
  EXPECT_NE(reported.find(L"simulated fault"), std::wstring::npos) << reported;
  EXPECT_TRUE(shownByHotkey);
}

// A shell that takes no icon, as when there is no notification area.
class RefusingShell final : public ShellNotifier {
 public:
  bool Notify(DWORD, NOTIFYICONDATAW&) override { return false; }
};

TEST_F(MainDialog, TrayIconThatCannotBeAddedIsToldOnce) {
  RefusingShell shell;
  CMainDlg dialog(*started_, &shell);
  std::wstring told;
  int ticksAfter = 0;
  ModalScript script({
      [&] {
        HWND notice = FindThreadDialog(L"温馨提示");
        if (notice == nullptr || !IsWindowVisible(notice)) return false;
        told = test::DialogText(notice);
        PostMessageW(notice, WM_COMMAND, IDOK, 0);
        return true;
      },
      [&] {
        if (FindThreadDialog(L"温馨提示") != nullptr) return false;
        return ++ticksAfter == 5;  // no second notice comes
      },
      [&] {
        EndDialog(dialog.Handle(), IDCANCEL);
        return true;
      },
  });
  script.Run([&] { dialog.DoModal(nullptr); }, 20000);
  ASSERT_TRUE(script.finished());
  EXPECT_NE(told.find(L"图标没能放进通知区域"), std::wstring::npos) << told;
  EXPECT_NE(told.find(L"Win + 空格"), std::wstring::npos) << told;
}

}  // namespace
}  // namespace kwo::app
