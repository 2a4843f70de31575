// The notification icon's rules against a recording shell, and its mouse
// handling against a real owner window.
#include "app/NotifyIcon.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/WindowScript.h"
#include "res/resource.h"

namespace kwo::app {
namespace {

struct ShellCall {
  DWORD message;
  UINT flags;
  HICON icon;
  std::wstring tip;
  HWND owner;
  UINT id;
  UINT callback;
};

class RecordingShell : public ShellNotifier {
 public:
  bool Notify(DWORD message, NOTIFYICONDATAW& data) override {
    calls.push_back({message, data.uFlags, data.hIcon, data.szTip, data.hWnd, data.uID, data.uCallbackMessage});
    EXPECT_EQ(data.cbSize, static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
    return results.empty() ? true : Next();
  }
  std::vector<ShellCall> calls;
  std::vector<bool> results;  // answers to give, first to last; then success

 private:
  bool Next() {
    const bool result = results.front();
    results.erase(results.begin());
    return result;
  }
};

HICON IconA() { return LoadIconW(nullptr, IDI_APPLICATION); }
HICON IconB() { return LoadIconW(nullptr, IDI_INFORMATION); }
HWND FakeOwner() { return reinterpret_cast<HWND>(static_cast<intptr_t>(0x1234)); }

TEST(NotifyIcon, AddsThenModifiesThenDeletes) {
  RecordingShell shell;
  {
    CNotifyIcon icon(IDR_TRAY_MENU, &shell);
    icon.SetOwner(FakeOwner(), WM_USER);
    icon.SetTip(L"疾书精灵");
    EXPECT_TRUE(icon.SetIcon(IconA()));
    EXPECT_TRUE(icon.SetIcon(IconB()));
    EXPECT_EQ(icon.Icon(), IconB());
  }  // destruction removes it
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.calls[0].flags, static_cast<UINT>(NIF_ICON | NIF_TIP | NIF_MESSAGE));
  EXPECT_EQ(shell.calls[0].icon, IconA());
  EXPECT_EQ(shell.calls[0].tip, L"疾书精灵");
  EXPECT_EQ(shell.calls[0].owner, FakeOwner());
  EXPECT_EQ(shell.calls[0].id, 131u);
  EXPECT_EQ(shell.calls[0].callback, static_cast<UINT>(WM_USER));
  EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell.calls[1].icon, IconB());
  EXPECT_EQ(shell.calls[2].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(shell.calls[2].flags, static_cast<UINT>(NIF_TIP | NIF_MESSAGE));
}

TEST(NotifyIcon, RemovingWhatIsNotShownCallsNothing) {
  RecordingShell shell;
  CNotifyIcon icon(IDR_TRAY_MENU, &shell);
  EXPECT_TRUE(icon.SetIcon(nullptr));
  EXPECT_TRUE(shell.calls.empty());
}

TEST(NotifyIcon, EmptyTipAndNoOwnerLeaveTheirFlagsOut) {
  RecordingShell shell;
  CNotifyIcon icon(IDR_TRAY_MENU, &shell);  // string 131 does not exist: empty tip
  EXPECT_TRUE(icon.SetIcon(IconA()));
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].flags, static_cast<UINT>(NIF_ICON));
  icon.SetOwner(FakeOwner(), WM_USER);
  icon.SetTip(L"");
  icon.SetIcon(IconB());
  EXPECT_EQ(shell.calls[1].flags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
}

TEST(NotifyIcon, FailedAddIsTriedAgainByTheNextChange) {
  RecordingShell shell;
  shell.results = {false};
  CNotifyIcon icon(IDR_TRAY_MENU, &shell);
  EXPECT_FALSE(icon.SetIcon(IconA()));
  EXPECT_EQ(icon.Icon(), nullptr);
  EXPECT_TRUE(icon.SetIcon(IconB()));
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_ADD));
}

TEST(NotifyIcon, TipIsCutToTheShellsLimit) {
  RecordingShell shell;
  CNotifyIcon icon(IDR_TRAY_MENU, &shell);
  icon.SetTip(std::wstring(300, L'字'));
  EXPECT_EQ(std::wstring(icon.Tip()), std::wstring(127, L'字'));
}

TEST(NotifyIcon, RestoreAddsTheShownIconAgain) {
  RecordingShell shell;
  CNotifyIcon icon(IDR_TRAY_MENU, &shell);
  icon.SetIcon(IconA());
  EXPECT_TRUE(icon.Restore());
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.calls[1].icon, IconA());
  EXPECT_EQ(icon.Icon(), IconA());
}

TEST(NotifyIcon, RestoreKeepsAnIconTheShellStillHas) {
  RecordingShell shell;
  CNotifyIcon icon(IDR_TRAY_MENU, &shell);
  icon.SetIcon(IconA());
  shell.results = {false, true};  // the add is refused: the icon is still there
  EXPECT_TRUE(icon.Restore());
  ASSERT_EQ(shell.calls.size(), 3u);
  EXPECT_EQ(shell.calls[2].message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(icon.Icon(), IconA());
  // The next change is a modification, not a second add.
  icon.SetIcon(IconB());
  EXPECT_EQ(shell.calls[3].message, static_cast<DWORD>(NIM_MODIFY));
}

TEST(NotifyIcon, RestoreWithoutAnIconDoesNothing) {
  RecordingShell shell;
  CNotifyIcon icon(IDR_TRAY_MENU, &shell);
  EXPECT_FALSE(icon.Restore());
  EXPECT_TRUE(shell.calls.empty());
}

// An owner window that records the commands it gets.
std::vector<WPARAM> g_commands;
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) g_commands.push_back(wParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

class NotifyIconMouse : public ::testing::Test {
 protected:
  void SetUp() override {
    static const ATOM kClass = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = OwnerProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"KwoNotifyIconTestOwner";
      return RegisterClassW(&wc);
    }();
    owner_ = CreateWindowExW(0, MAKEINTATOM(kClass), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (owner_ == nullptr) GTEST_SKIP() << test::kNoWindows;
    icon_.SetOwner(owner_, WM_USER);
    g_commands.clear();
  }
  void TearDown() override {
    if (owner_ != nullptr) DestroyWindow(owner_);
  }
  HWND owner_ = nullptr;
  RecordingShell shell_;
  CNotifyIcon icon_{IDR_TRAY_MENU, &shell_};
};

TEST_F(NotifyIconMouse, DoubleClickSendsTheMenusFirstCommand) {
  EXPECT_EQ(icon_.OnTrayNotification(IDR_TRAY_MENU, WM_LBUTTONDBLCLK), 1);
  ASSERT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(g_commands[0], static_cast<WPARAM>(ID_TOGGLE_RUNNING));
}

// A command that does not apply now ("重试" while no login is refused) is
// left out of the menu, and comes back.
TEST_F(NotifyIconMouse, HiddenCommandIsLeftOutOfTheMenu) {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
  ASSERT_NE(menu, nullptr);
  EXPECT_NE(GetMenuState(GetSubMenu(menu, 0), ID_RETRY_LOGIN, MF_BYCOMMAND), static_cast<UINT>(-1));
  DestroyMenu(menu);
  icon_.HideCommand(ID_TOGGLE_RUNNING, true);
  icon_.HideCommand(ID_TOGGLE_RUNNING, true);
  EXPECT_EQ(icon_.OnTrayNotification(IDR_TRAY_MENU, WM_LBUTTONDBLCLK), 1);
  icon_.HideCommand(ID_TOGGLE_RUNNING, false);
  EXPECT_EQ(icon_.OnTrayNotification(IDR_TRAY_MENU, WM_LBUTTONDBLCLK), 1);
  ASSERT_EQ(g_commands.size(), 2u);
  EXPECT_EQ(g_commands[0], static_cast<WPARAM>(ID_OPEN));
  EXPECT_EQ(g_commands[1], static_cast<WPARAM>(ID_TOGGLE_RUNNING));
}

TEST_F(NotifyIconMouse, OtherIconsAndOtherMouseEventsAreIgnored) {
  EXPECT_EQ(icon_.OnTrayNotification(IDR_TRAY_MENU + 1, WM_LBUTTONDBLCLK), 0);
  EXPECT_EQ(icon_.OnTrayNotification(IDR_TRAY_MENU, WM_LBUTTONUP), 0);
  EXPECT_EQ(icon_.OnTrayNotification(IDR_TRAY_MENU, WM_MOUSEMOVE), 0);
  EXPECT_TRUE(g_commands.empty());
}

}  // namespace
}  // namespace kwo::app
