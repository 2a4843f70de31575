// The Windows platform against real top-level windows of this thread.
#ifdef _WIN32
#include "desktop/WinKeyPlatform.h"

#include "keys/KeySend.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kwo::desktop {
namespace {

// Wine creates no windows without an X display (set DISPLAY, e.g. under xvfb-run).
constexpr const char* kNoWindows = "no top-level windows can be created here (no display)";

struct SysCommand {
  HWND window;
  WPARAM command;
  LPARAM parameter;
};
std::vector<SysCommand> g_sysCommands;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SYSCOMMAND) g_sysCommands.push_back({window, wParam & 0xFFF0, lParam});
  return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden top-level window that records the system commands it gets.
class TestWindow {
 public:
  explicit TestWindow(const std::wstring& title) {
    static const ATOM kClass = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = RecordingWindowProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"KwoKeysTestWindow";
      return RegisterClassW(&wc);
    }();
    window_ = CreateWindowExW(0, MAKEINTATOM(kClass), title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~TestWindow() {
    if (window_) DestroyWindow(window_);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

struct WinKeyPlatformTest : ::testing::Test {
  void SetUp() override { g_sysCommands.clear(); }
  // The windows that were brought forward, with both commands carrying their own handle.
  std::vector<HWND> Activated() const {
    std::vector<HWND> out;
    for (size_t i = 0; i + 1 < g_sysCommands.size(); i += 2) {
      const SysCommand& hotkey = g_sysCommands[i];
      const SysCommand& restore = g_sysCommands[i + 1];
      const auto self = reinterpret_cast<LPARAM>(hotkey.window);
      EXPECT_EQ(hotkey.command, WPARAM(SC_HOTKEY));
      EXPECT_EQ(hotkey.parameter, self);
      EXPECT_EQ(restore.window, hotkey.window);
      EXPECT_EQ(restore.command, WPARAM(SC_RESTORE));
      EXPECT_EQ(restore.parameter, self);
      out.push_back(hotkey.window);
    }
    EXPECT_EQ(g_sysCommands.size() % 2, 0u);
    return out;
  }
  WinKeyPlatform platform;
};

// A pause of a sending answers the thread's messages, and a hotkey ends it
// (were it not ended, the test would wait 27 hours); a quit ends it and stays
// for the message loop.
TEST_F(WinKeyPlatformTest, PauseOfASendingAnswersMessagesAndEndsAtAHotkeyOrQuit) {
  TestWindow window(L"Kwo Pumped Window");
  if (!window.get()) GTEST_SKIP() << kNoWindows;
  platform.BeginSending();
  PostMessageW(window.get(), WM_SYSCOMMAND, SC_RESTORE, 7);
  PostMessageW(window.get(), WM_HOTKEY, 1, 0);
  platform.Sleep(100000000);
  EXPECT_TRUE(platform.Cancelled());
  ASSERT_EQ(g_sysCommands.size(), 1u);
  EXPECT_EQ(g_sysCommands[0].parameter, 7);
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE));  // taken, not left for the loop
  platform.EndSending();
  EXPECT_FALSE(platform.Cancelled());

  platform.BeginSending();
  EXPECT_FALSE(platform.Cancelled());
  PostQuitMessage(3);
  platform.Sleep(100000000);
  EXPECT_TRUE(platform.Cancelled());
  platform.EndSending();
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 3u);
}

TEST_F(WinKeyPlatformTest, ExactTitleIgnoresCaseSubstringDoesNot) {
  TestWindow monthly(L"Monthly Kwo Report");
  TestWindow report(L"Kwo Report");
  if (!monthly.get() || !report.get()) GTEST_SKIP() << kNoWindows;

  EXPECT_TRUE(platform.ActivateWindow(u"KWO REPORT"));
  EXPECT_EQ(Activated(), std::vector<HWND>{report.get()});
  EXPECT_TRUE(IsWindowVisible(report.get()));
  EXPECT_FALSE(IsWindowVisible(monthly.get()));

  g_sysCommands.clear();
  EXPECT_FALSE(platform.ActivateWindow(u"MONTHLY KWO"));  // only the exact search ignores case
  EXPECT_TRUE(g_sysCommands.empty());

  EXPECT_TRUE(platform.ActivateWindow(u"Monthly Kwo"));
  EXPECT_EQ(Activated(), std::vector<HWND>{monthly.get()});
}

TEST_F(WinKeyPlatformTest, ChineseTitleIsFoundBySubstring) {
  TestWindow window(L"\u6708\u5EA6\u62A5\u8868 kwo-keys-test");
  if (!window.get()) GTEST_SKIP() << kNoWindows;
  EXPECT_TRUE(platform.ActivateWindow(u"\u62A5\u8868 kwo-keys"));
  EXPECT_EQ(Activated(), std::vector<HWND>{window.get()});
}

TEST_F(WinKeyPlatformTest, SubstringSearchSeesOnlyTheFirst299Units) {
  const std::wstring filler(320, L'.');
  TestWindow early(L"..KWO-EARLY-MARK" + filler);
  TestWindow late(filler + L"KWO-LATE-MARK");
  if (!early.get() || !late.get()) GTEST_SKIP() << kNoWindows;
  EXPECT_TRUE(platform.ActivateWindow(u"KWO-EARLY-MARK"));
  EXPECT_EQ(Activated(), std::vector<HWND>{early.get()});
  g_sysCommands.clear();
  EXPECT_FALSE(platform.ActivateWindow(u"KWO-LATE-MARK"));
  EXPECT_TRUE(g_sysCommands.empty());
}

// What a low-level keyboard hook saw of the injected input.
struct HookedKey {
  DWORD vk;
  DWORD scan;
  DWORD flags;
  WPARAM message;
};
std::vector<HookedKey> g_hooked;

LRESULT CALLBACK RecordKey(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    // The hook sees the whole session: keep only the keys this test sends.
    const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    const bool ours = (key.vkCode == VK_PACKET && key.scanCode == 0x4E2D) || key.vkCode == VK_DELETE ||
                      key.vkCode == VK_SHIFT || key.vkCode == VK_LSHIFT;
    if (ours) g_hooked.push_back({key.vkCode, key.scanCode, key.flags, wParam});
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class KeyboardHook {
 public:
  KeyboardHook() : hook_(SetWindowsHookExW(WH_KEYBOARD_LL, RecordKey, GetModuleHandleW(nullptr), 0)) {}
  ~KeyboardHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
  }
  KeyboardHook(const KeyboardHook&) = delete;
  KeyboardHook& operator=(const KeyboardHook&) = delete;
  explicit operator bool() const { return hook_ != nullptr; }

 private:
  HHOOK hook_;
};

// Pumps messages until the hook has seen `count` keys or two seconds passed.
bool WaitForHookedKeys(size_t count) {
  const ULONGLONG deadline = GetTickCount64() + 2000;
  while (g_hooked.size() < count && GetTickCount64() < deadline) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  return g_hooked.size() >= count;
}

TEST_F(WinKeyPlatformTest, InjectedRecordsCarryTheirKeysAndFlags) {
  g_hooked.clear();
  KeyboardHook hook;
  if (!hook) GTEST_SKIP() << "no low-level keyboard hook here";
  keys::KeySendState state;
  ASSERT_TRUE(keys::SendKeySequence(u"\u4E2D{DEL}{SHIFT+}{SHIFT-}", state, platform));
  if (!WaitForHookedKeys(6)) GTEST_SKIP() << "injected input reaches no hook here (" << g_hooked.size() << " seen)";
  ASSERT_EQ(g_hooked.size(), 6u);
  const DWORD deleteScan = MapVirtualKeyW(VK_DELETE, MAPVK_VK_TO_VSC);
  const DWORD shiftScan = MapVirtualKeyW(VK_SHIFT, MAPVK_VK_TO_VSC);
  // Wine leaves LLKHF_UP off for Unicode releases; the message tells them apart.
  const auto up = [](const HookedKey& k) { return k.message == WM_KEYUP; };
  const auto extended = [](const HookedKey& k) { return (k.flags & LLKHF_EXTENDED) != 0; };
  for (const HookedKey& key : g_hooked) EXPECT_NE(key.flags & LLKHF_INJECTED, 0u);
  // The character: VK_PACKET with the code unit as its scan code.
  EXPECT_EQ(g_hooked[0].vk, DWORD(VK_PACKET));
  EXPECT_EQ(g_hooked[0].scan, 0x4E2Du);
  EXPECT_FALSE(up(g_hooked[0]));
  EXPECT_EQ(g_hooked[1].scan, 0x4E2Du);
  EXPECT_TRUE(up(g_hooked[1]));
  // Delete, extended, down then up.
  EXPECT_EQ(g_hooked[2].vk, DWORD(VK_DELETE));
  EXPECT_EQ(g_hooked[2].scan, deleteScan);
  EXPECT_TRUE(extended(g_hooked[2]));
  EXPECT_FALSE(up(g_hooked[2]));
  EXPECT_EQ(g_hooked[3].vk, DWORD(VK_DELETE));
  EXPECT_TRUE(extended(g_hooked[3]));
  EXPECT_TRUE(up(g_hooked[3]));
  // Shift held, then released, not extended.
  EXPECT_EQ(g_hooked[4].scan, shiftScan);
  EXPECT_FALSE(extended(g_hooked[4]));
  EXPECT_FALSE(up(g_hooked[4]));
  EXPECT_TRUE(up(g_hooked[5]));
}

TEST_F(WinKeyPlatformTest, ScanCodesComeFromTheKeyboardLayout) {
  EXPECT_EQ(platform.ScanCode(VK_RETURN), 0x1C);
  EXPECT_EQ(platform.ScanCode(VK_ESCAPE), 0x01);
  EXPECT_EQ(platform.ScanCode(VK_SPACE), 0x39);
}

}  // namespace
}  // namespace kwo::desktop
#endif
