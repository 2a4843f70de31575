// The short-key box on a real edit control: what it lets through and what it drops.
#include "controls/Edit37.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/WindowScript.h"
#include "ui/Window.h"

namespace kwo::controls {
namespace {

class ShortKeyBox : public ::testing::Test {
 protected:
  void SetUp() override {
    edit_ = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_UPPERCASE | ES_AUTOHSCROLL, 0, 0, 100, 20, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (edit_ == nullptr) GTEST_SKIP() << test::kNoWindows;
    SendMessageW(edit_, EM_LIMITTEXT, 6, 0);
    ASSERT_TRUE(box_.Attach(edit_));
  }
  void TearDown() override {
    if (edit_ != nullptr) DestroyWindow(edit_);
  }
  void Type(std::wstring_view characters) {
    for (wchar_t c : characters) SendMessageW(edit_, WM_CHAR, c, 1);
  }
  std::wstring Text() const { return ui::WindowText(edit_); }

  HWND edit_ = nullptr;
  CEdit37 box_;
};

TEST_F(ShortKeyBox, DigitsAndLettersGoInAsCapitals) {
  Type(L"a1Zq9");
  EXPECT_EQ(Text(), L"A1ZQ9");
}

TEST_F(ShortKeyBox, OtherPrintableCharactersAreDropped) {
  Type(L"A");
  Type(L" -_/:@[`{~中é，１Ａ");
  EXPECT_EQ(Text(), L"A");
}

TEST_F(ShortKeyBox, NonLatinLettersWithLatinCapitalsAreDropped) {
  // Dotless i and long s have I and S as upper case, but the box would keep
  // them as they are: no short key can hold them.
  Type(L"\u0131\u017F");
  EXPECT_EQ(Text(), L"");
}

TEST_F(ShortKeyBox, ControlCharactersStillWork) {
  Type(L"AB");
  Type(L"\b");  // Backspace
  EXPECT_EQ(Text(), L"A");
}

TEST_F(ShortKeyBox, AtMostSixCharacters) {
  Type(L"abcdefgh");
  EXPECT_EQ(Text(), L"ABCDEF");
}

TEST_F(ShortKeyBox, LetsGoOfTheWindowWhenItIsDestroyed) {
  DestroyWindow(edit_);
  edit_ = nullptr;
  EXPECT_EQ(box_.Handle(), nullptr);
}

TEST(ShortKeyRule, BoundariesOfDigitsAndLetters) {
  for (wchar_t c : std::wstring_view(L"09AZaz\x01\x1f")) EXPECT_TRUE(CEdit37::Accepts(c)) << int(c);
  for (wchar_t c : std::wstring_view(L" /:@[`{\x7f\x00c0\x0131\x017f\x212a\xff10\xff21\xff41")) {
    EXPECT_FALSE(CEdit37::Accepts(c)) << int(c);
  }
}

}  // namespace
}  // namespace kwo::controls
