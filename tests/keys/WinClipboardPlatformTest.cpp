// The Windows clipboard platform against the real clipboard.
#ifdef _WIN32
#include "keys/WinClipboardPlatform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/KernelHandle.h"

namespace kwo::keys {
namespace {

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<cannot open>";
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (const auto* units = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
    text = units;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
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

}  // namespace
}  // namespace kwo::keys
#endif
