// The About box on its real resource, and the link label's rules.
#include "controls/AboutBox.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "support/WindowScript.h"
#include "controls/UrlLabel.h"
#include "res/resource.h"
#include "ui/Shell.h"

namespace kwo::controls {
namespace {

using test::FindThreadDialog;
using test::ModalScript;

std::wstring Text(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A popup parent with one static control, for the label on its own.
struct LabelHost {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 400, 100, nullptr, nullptr,
                                nullptr, nullptr);
  HWND label = nullptr;
  explicit LabelHost(const wchar_t* text) {
    label = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE, 10, 10, 5, 5, parent, nullptr, nullptr,
                            nullptr);
  }
  ~LabelHost() { DestroyWindow(parent); }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanCreateWindows()) GTEST_SKIP() << test::kNoWindows;
  }
};

TEST_F(WindowTest, AboutBoxShowsIconNameAndLink) {
  std::wstring link;
  LONG_PTR linkStyle = 0;
  bool hasIcon = false;
  RECT linkRect{};
  ModalScript script({[&] {
    HWND dialog = FindThreadDialog(L"关于 疾书精灵");
    if (dialog == nullptr) return false;
    HWND label = GetDlgItem(dialog, IDC_URL_LABEL);
    link = Text(label);
    linkStyle = GetWindowLongPtrW(label, GWL_STYLE);
    GetWindowRect(label, &linkRect);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
          SendMessageW(child, STM_GETICON, 0, 0) != 0)
        hasIcon = true;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  }});
  script.Run([] { ShowAboutBox(nullptr); });
  EXPECT_TRUE(script.finished());
  EXPECT_EQ(link, L"疾书精灵 开发组 主页");
  EXPECT_TRUE(linkStyle & SS_NOTIFY);
  EXPECT_GT(linkRect.right - linkRect.left, 0);
  EXPECT_TRUE(hasIcon);
}

TEST_F(WindowTest, LabelTakesAddressFromTextAndTextFromAddress) {
  {
    LabelHost host(L"https://text.example/");
    CUrlLabel label;
    ASSERT_TRUE(label.AttachTo(host.label));
    EXPECT_EQ(label.Address(), L"https://text.example/");
    EXPECT_TRUE(GetWindowLongPtrW(host.label, GWL_STYLE) & SS_NOTIFY);
  }
  {
    LabelHost host(L"");
    CUrlLabel label;
    label.SetAddress(L"https://address.example/");
    ASSERT_TRUE(label.AttachTo(host.label));
    EXPECT_EQ(Text(host.label), L"https://address.example/");
    // Fitted to the text: far wider than the 5 pixels it was made with.
    RECT rect;
    GetWindowRect(host.label, &rect);
    EXPECT_GT(rect.right - rect.left, 50);
    EXPECT_GT(rect.bottom - rect.top, 5);
  }
}

TEST_F(WindowTest, HoverColoursTheLabelUntilTheMouseLeaves) {
  LabelHost host(L"link");
  CUrlLabel label;
  ASSERT_TRUE(label.AttachTo(host.label));
  EXPECT_EQ(label.TextColour(), RGB(0, 0, 238));
  SetCursorPos(0, 0);  // outside the label, which sits at (110, 110)
  SendMessageW(host.label, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
  EXPECT_TRUE(label.IsOver());
  EXPECT_EQ(label.TextColour(), RGB(255, 0, 0));
  // The hover timer (100 ms) notices that the mouse is elsewhere.
  const ULONGLONG deadline = GetTickCount64() + 3000;
  while (label.IsOver() && GetTickCount64() < deadline) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
  EXPECT_FALSE(label.IsOver());
  EXPECT_EQ(label.TextColour(), RGB(0, 0, 238));
}

TEST(UrlLabel, ErrorTextsAreTheSystemsForTheShellResult) {
  // ShellExecuteW's own codes above 25 are no Windows error codes.
  EXPECT_EQ(kwo::ui::ShellResultError(SE_ERR_SHARE), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(kwo::ui::ShellResultError(SE_ERR_NOASSOC), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
  EXPECT_EQ(kwo::ui::ShellResultError(SE_ERR_FNF), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(kwo::ui::ShellResultError(0), static_cast<DWORD>(ERROR_OUTOFMEMORY));
  const std::wstring notFound = CUrlLabel::ErrorText(SE_ERR_FNF);
  EXPECT_EQ(notFound, kwo::ui::SystemErrorText(ERROR_FILE_NOT_FOUND));
  ASSERT_FALSE(notFound.empty());
  EXPECT_NE(notFound.back(), L'\n');
  EXPECT_EQ(kwo::ui::SystemErrorText(0x2000ABCD), L"错误代码 536914893");
}

TEST(UrlLabel, HandlerCommandLineCutsAtTheArgument) {
  const std::wstring address = L"https://kwo.example.com/";
  EXPECT_EQ(CUrlLabel::HandlerCommandLine(L"\"C:\\b.exe\" -url \"%1\"", address),
            L"\"C:\\b.exe\" -url  " + address);
  EXPECT_EQ(CUrlLabel::HandlerCommandLine(L"b.exe %1 -x", address), L"b.exe  " + address);
  EXPECT_EQ(CUrlLabel::HandlerCommandLine(L"b.exe", address), L"b.exe " + address);
  // Longer than any fixed buffer the registry text might have been read into.
  const std::wstring longPath = L"C:\\" + std::wstring(4000, L'x') + L".exe";
  EXPECT_EQ(CUrlLabel::HandlerCommandLine(longPath + L" \"%1\"", address), longPath + L"  " + address);
}

TEST(UrlLabel, ReadsRegisteredValuesOfAnyLength) {
  const wchar_t* subKey = L"KwoTest.UrlLabel";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring value = L"\"C:\\" + std::wstring(3000, L'y') + L".exe\" \"%1\"";
  // Stored without its terminator, as a careless installer might.
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                 static_cast<DWORD>(value.size() * sizeof(wchar_t)));
  RegCloseKey(key);
  std::wstring read;
  const bool ok = CUrlLabel::ReadRegisteredDefault(L"KwoTest.UrlLabel", read);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, subKey);
  EXPECT_TRUE(ok);
  EXPECT_EQ(read.size(), value.size());
  EXPECT_TRUE(read == value);
  EXPECT_FALSE(CUrlLabel::ReadRegisteredDefault(L"KwoTest.NoSuchKey", read));
}

}  // namespace
}  // namespace kwo::controls
