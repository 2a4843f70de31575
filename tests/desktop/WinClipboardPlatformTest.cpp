// The Windows clipboard platform against the real clipboard.
#ifdef _WIN32
#include "desktop/WinClipboardPlatform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "base/KernelHandle.h"
#include "tests/support/ClipboardText.h"

namespace kwo::desktop {
namespace {

using kwo::test::ClipboardText;

// Runs the message loop until the clipboard holds `wanted`, or for a generous while.
std::wstring ClipboardAfterTheMessageLoop(const std::wstring& wanted) {
  const ULONGLONG deadline = GetTickCount64() + 20000;
  for (MSG message; ClipboardText() != wanted && GetTickCount64() < deadline; Sleep(20)) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return ClipboardText();
}

HGLOBAL GlobalOf(const void* bytes, size_t size) {
  OwnedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, size));
  std::memcpy(GlobalLock(memory.get()), bytes, size);
  GlobalUnlock(memory.get());
  return memory.release();
}

void SetClipboardText(const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, GlobalOf(text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
  CloseClipboard();
}

TEST(WinClipboard, EveryFormatComesBackAfterThePaste) {
  const UINT custom = RegisterClipboardFormatW(L"KwoTestBytes");
  const char bytes[] = {1, 2, 0, 3};
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, GlobalOf(L"用户 text", sizeof L"用户 text"));
  SetClipboardData(custom, GlobalOf(bytes, sizeof bytes));
  SetClipboardData(CF_BITMAP, CreateBitmap(3, 2, 1, 32, nullptr));
  CloseClipboard();

  WinClipboardPlatform clipboard;
  ASSERT_TRUE(clipboard.PutText(u"粘贴\r\n"));
  EXPECT_FALSE(IsClipboardFormatAvailable(custom));
  EXPECT_EQ(ClipboardText(), L"粘贴\r\n");
  clipboard.WaitUntilTaken();
  clipboard.Restore();

  EXPECT_EQ(ClipboardText(), L"用户 text");
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HANDLE restored = GetClipboardData(custom);
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(restored)), GlobalSize(restored)).substr(0, 4),
            std::string(bytes, sizeof bytes));
  GlobalUnlock(restored);
  BITMAP bitmap{};
  ASSERT_TRUE(GetObjectW(GetClipboardData(CF_BITMAP), sizeof bitmap, &bitmap));
  EXPECT_EQ(bitmap.bmWidth * 10 + bitmap.bmHeight, 32);
  CloseClipboard();
}

// Written by another program between the paste and the restore: that text stays.
TEST(WinClipboard, NewerTextOfAnotherProgramStays) {
  SetClipboardText(L"earlier");
  WinClipboardPlatform clipboard;
  ASSERT_TRUE(clipboard.PutText(u"pasted"));
  SetClipboardText(L"newer");
  clipboard.Restore();
  EXPECT_EQ(ClipboardText(), L"newer");
}

// Put off: not yet asked for at the restore, the text stays for a slow
// target; held open by another program, the clipboard is restored once let go.
TEST(WinClipboard, PutOffRestoresBringTheUserTextBackLater) {
  SetClipboardText(L"earlier");
  WinClipboardPlatform clipboard;
  ASSERT_TRUE(clipboard.PutText(u"pasted"));
  clipboard.Restore();
  EXPECT_EQ(ClipboardText(), L"pasted");
  EXPECT_EQ(ClipboardAfterTheMessageLoop(L"earlier"), L"earlier");

  ASSERT_TRUE(clipboard.PutText(u"again"));
  EXPECT_EQ(ClipboardText(), L"again");
  OwnedHandle opened(CreateEventW(nullptr, TRUE, FALSE, nullptr)), done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    const bool open = OpenClipboard(nullptr) != FALSE;
    SetEvent(opened.get());
    WaitForSingleObject(done.get(), 30000);
    if (open) CloseClipboard();
  });
  WaitForSingleObject(opened.get(), 30000);
  clipboard.Restore();
  SetEvent(done.get());
  holder.join();
  EXPECT_EQ(ClipboardAfterTheMessageLoop(L"earlier"), L"earlier");
}

// A paste not yet taken still waits in the target and brings in whatever the
// clipboard holds when the target gets to it: no other text, and not the
// user's clipboard, may take its place until then.
TEST(WinClipboard, NoOtherTextWhileAPasteWaitsForItsTarget) {
  SetClipboardText(L"SECRET-密码123");
  WinClipboardPlatform clipboard;
  ASSERT_TRUE(clipboard.PutText(u"first run"));
  clipboard.WaitUntilTaken();  // nobody asks for it
  clipboard.Restore();
  EXPECT_FALSE(clipboard.PutText(u"second run"));
  // The late target reads the first run, and only then may a second come.
  EXPECT_EQ(ClipboardText(), L"first run");
  ASSERT_TRUE(clipboard.PutText(u"second run"));
  EXPECT_EQ(ClipboardText(), L"second run");
  clipboard.WaitUntilTaken();
  clipboard.Restore();
  EXPECT_EQ(ClipboardText(), L"SECRET-密码123");
}

// {剪贴板} reads the user's text: what the clipboard holds, or, while a paste
// of ours is there, what it held before; ANSI text converted; none: false.
TEST(WinClipboard, ReadTextGivesTheUsersText) {
  WinClipboardPlatform clipboard;
  std::u16string text;
  SetClipboardText(L"用户的\r\n文字");
  ASSERT_TRUE(clipboard.ReadText(text));
  EXPECT_EQ(text, u"用户的\r\n文字");
  ASSERT_TRUE(clipboard.PutText(u"pasted"));
  text.clear();
  ASSERT_TRUE(clipboard.ReadText(text));
  EXPECT_EQ(text, u"用户的\r\n文字");
  clipboard.Restore();
  EXPECT_EQ(ClipboardAfterTheMessageLoop(L"用户的\r\n文字"), L"用户的\r\n文字");

  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, GlobalOf("ansi", 5));
  CloseClipboard();
  ASSERT_TRUE(clipboard.PutText(u"pasted"));
  ASSERT_TRUE(clipboard.ReadText(text));
  EXPECT_EQ(text, u"ansi");
  clipboard.Restore();
  ClipboardAfterTheMessageLoop(L"ansi");

  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  text = u"untouched";
  EXPECT_FALSE(clipboard.ReadText(text));
  EXPECT_EQ(text, u"untouched");
}

}  // namespace
}  // namespace kwo::desktop
#endif
