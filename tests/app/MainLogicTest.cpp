// The main window's window-free rules: timer period, Help-menu link ids,
// the single-instance name and the text colour on the background.
#include "app/MainLogic.h"

#include <gtest/gtest.h>

#include <iterator>

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

// One notice per outage: every keystroke of it fails the same way. Each row
// is the state after a search and whether the user is told.
TEST(OutageWatch, TellsOncePerOutage) {
  using S = StoreState;
  const struct {
    S state;
    bool told;
  } steps[] = {
      {S::Ok, false},     {S::Locked, true},      {S::Locked, false}, {S::Failed, false},  // one database outage
      {S::Ok, false},     {S::Failed, true},      {S::ServerAway, true}, {S::ServerAway, false},
      {S::Locked, true},  // the server is back, the database still fails
      {S::ServerAway, true}, {S::Ok, false},       {S::ServerAway, true},
  };
  OutageWatch watch;
  for (size_t i = 0; i < std::size(steps); ++i) {
    EXPECT_EQ(watch.Update(steps[i].state), steps[i].told) << "step " << i;
    EXPECT_EQ(watch.ServerAway(), steps[i].state == S::ServerAway) << "step " << i;
  }
  // Export tells its own failures; only the server's state is taken from it.
  EXPECT_FALSE(watch.UpdateServer(true));
  EXPECT_FALSE(watch.UpdateServer(false));
  EXPECT_EQ(watch.State(), S::Ok);
  EXPECT_TRUE(watch.UpdateServer(true));
  EXPECT_EQ(watch.Update(S::Locked), true);
  EXPECT_FALSE(watch.UpdateServer(false));
  EXPECT_EQ(watch.State(), S::Locked);

  EXPECT_EQ(JudgeStore(true, true, true), S::ServerAway);
  EXPECT_EQ(JudgeStore(false, false, true), S::ServerAway);
  EXPECT_EQ(JudgeStore(true, true, false), S::Locked);
  EXPECT_EQ(JudgeStore(true, false, false), S::Failed);
  EXPECT_EQ(JudgeStore(false, true, false), S::Ok);
  EXPECT_EQ(TrayTip(u"疾书精灵", true), u"疾书精灵（连不上数据库服务器）");
  EXPECT_EQ(TrayTip(u"疾书精灵", false), u"疾书精灵");
}

TEST(SettingsNotice, NamesEverySettingThatIsNotUsedAsWritten) {
  EXPECT_EQ(SettingsNotice(u"Ctrl+Alt+K", false, u"", u""), u"");
  EXPECT_EQ(SettingsNotice(u"Ctrl+Alt+", true, u"", u""),
            u"kwo.ini 中的热键“Ctrl+Alt+”无法识别，现在使用 Win + 空格。\n可以在“设置”中重新选择热键。");
  const std::u16string both = SettingsNotice(u"Space", true, u"Space 是打字时要用的键。", u"1e3");
  EXPECT_EQ(both.find(u"kwo.ini 中的热键“Space”不能使用：Space 是打字时要用的键。\n现在使用 Win + 空格。"), 0u);
  EXPECT_NE(both.find(u"\n\nkwo.ini 中的 PasteAbove=1e3 不是 0 到 1000000 之间的整数，现在不用粘贴（当作 0）。"),
            std::u16string::npos);
  EXPECT_EQ(SettingsNotice(u"", false, u"", u"20.5").find(u"kwo.ini 中的 PasteAbove=20.5 "), 0u);
}

}  // namespace
}  // namespace kwo::app
