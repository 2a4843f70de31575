// The dialog layer's handles on real windows.
#include "ui/Handles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/WindowScript.h"

namespace kwo::ui {
namespace {

TEST(HotkeyRegistration, HoldsTheKeyForItsLifeAndAFailedOneReleasesNothing) {
  if (!test::CanCreateWindows()) GTEST_SKIP() << test::kNoWindows;
  HWND first = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  HWND second = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  constexpr UINT kModifiers = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
  {
    const HotkeyRegistration holder(first, 1, kModifiers, VK_F12);
    ASSERT_TRUE(holder.IsRegistered());
    EXPECT_FALSE(HotkeyRegistration(second, 2, kModifiers, VK_F12).IsRegistered());
    // The failed one, gone, has not taken the key from its holder.
    EXPECT_FALSE(HotkeyRegistration(second, 2, kModifiers, VK_F12).IsRegistered());
  }
  EXPECT_TRUE(HotkeyRegistration(second, 2, kModifiers, VK_F12).IsRegistered());
  DestroyWindow(first);
  DestroyWindow(second);
}

}  // namespace
}  // namespace kwo::ui
