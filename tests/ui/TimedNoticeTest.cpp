// The timed notice really closes itself, also where user32 ignores the timeout.
#include "ui/TimedNotice.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/WindowScript.h"

namespace kwo::ui {
namespace {

TEST(TimedNotice, ClosesByItselfAndSaysSo) {
  if (!test::CanCreateWindows()) GTEST_SKIP() << test::kNoWindows;
  bool seen = false;
  test::ModalScript script({[&] {
    HWND box = test::FindThreadDialog(L"温馨提示");
    seen = seen || box != nullptr;
    return false;  // only watch; nobody clicks
  }});
  int result = 0;
  script.Run([&] { result = ShowTimedNotice(L"测试提示", 300); }, 20000);
  EXPECT_TRUE(seen);
  EXPECT_EQ(result, 32000);  // timed out, not ended by this test's safety net
}

}  // namespace
}  // namespace kwo::ui
