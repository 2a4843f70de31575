// The main window's window-free rules: timer period, Help-menu link ids,
// the single-instance name and the text colour on the background.
#include "app/MainLogic.h"

#include <gtest/gtest.h>

namespace kwo::app {
namespace {

TEST(TimerPeriod, MinutesBecomeMilliseconds) {
  EXPECT_EQ(TimerPeriodMs(1), 60000u);
  EXPECT_EQ(TimerPeriodMs(5), 300000u);
  EXPECT_EQ(TimerPeriodMs(35791), 2147460000u);  // the largest that fits
}

TEST(TimerPeriod, ZeroOrNegativeIntervalGivesNoPeriod) {
  EXPECT_EQ(TimerPeriodMs(0), 0u);
  EXPECT_EQ(TimerPeriodMs(-1), 0u);
  EXPECT_EQ(TimerPeriodMs(INT32_MIN), 0u);
}

TEST(TimerPeriod, HugeIntervalIsClampedNotWrapped) {
  // 71583 minutes * 60000 wraps to 12,704 ms in 32-bit arithmetic.
  EXPECT_EQ(TimerPeriodMs(35792), kLongestTimerPeriodMs);
  EXPECT_EQ(TimerPeriodMs(71583), kLongestTimerPeriodMs);
  EXPECT_EQ(TimerPeriodMs(INT32_MAX), kLongestTimerPeriodMs);
}

TEST(MenuLinks, CommandIdsMapToLinksInOrder) {
  EXPECT_EQ(MenuLinkIndex(33772, 2), 0u);
  EXPECT_EQ(MenuLinkIndex(33773, 2), 1u);
}

TEST(MenuLinks, IdsOutsideTheLinksAreOrdinaryCommands) {
  EXPECT_FALSE(MenuLinkIndex(33771, 2));
  EXPECT_FALSE(MenuLinkIndex(33774, 2));
  EXPECT_FALSE(MenuLinkIndex(33772, 0));
  EXPECT_FALSE(MenuLinkIndex(32786, 5));
}

TEST(MenuLinks, WholeWParamCountsSoNotificationCodesAreNoLinks) {
  // A notification code in the high word makes another command.
  EXPECT_FALSE(MenuLinkIndex((1ull << 16) | 33772, 2));
}

TEST(InstanceGuard, NameIsTitleUpToLineFeedPlusClass) {
  EXPECT_EQ(InstanceGuardName(u"疾书精灵"), u"疾书精灵 Class");
  EXPECT_EQ(InstanceGuardName(u"疾书精灵\n第二行"), u"疾书精灵 Class");
  EXPECT_EQ(InstanceGuardName(u""), u" Class");
}

TEST(TextColour, DarkBackgroundsGetLightText) {
  EXPECT_TRUE(WantsLightText(0, 0, 0));
  EXPECT_TRUE(WantsLightText(0, 0, 255));
  EXPECT_FALSE(WantsLightText(255, 255, 255));
  EXPECT_FALSE(WantsLightText(214, 234, 220));
  EXPECT_FALSE(WantsLightText(255, 255, 0));
}

// One notice per outage: a second away keystroke says nothing; after the
// server came back, the next outage is told again.
TEST(ServerWatch, TellsOncePerOutage) {
  ServerWatch watch;
  EXPECT_FALSE(watch.Update(false));
  EXPECT_TRUE(watch.Update(true));
  EXPECT_FALSE(watch.Update(true));
  EXPECT_TRUE(watch.Away());
  EXPECT_FALSE(watch.Update(false));
  EXPECT_FALSE(watch.Away());
  EXPECT_TRUE(watch.Update(true));
  EXPECT_EQ(TrayTip(u"疾书精灵", true), u"疾书精灵（连不上数据库服务器）");
  EXPECT_EQ(TrayTip(u"疾书精灵", false), u"疾书精灵");
}

}  // namespace
}  // namespace kwo::app
