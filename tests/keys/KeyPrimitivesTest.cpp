#include <gtest/gtest.h>

#include "keys/KeySend.h"
#include "keys/RecordingKeyPlatform.h"
#include "Transcript.h"

namespace kwo::keys {
namespace {

using testing::Transcript;

struct Primitives : ::testing::Test {
  RecordingKeyPlatform platform;
  KeySendState state;
  const KeyEvent& Event(size_t i) const { return platform.events().at(i); }
};

TEST_F(Primitives, PressKeySendsDownAndUpInOneCallWithExtendedFlags) {
  PressKey(platform, 46, true, 1, state);  // Delete
  PressKey(platform, 13, false, 1, state);  // Enter
  ASSERT_EQ(platform.events().size(), 4u);
  ASSERT_EQ(platform.sendCalls(), 2u);
  EXPECT_EQ(platform.actions()[0].count, 2u);
  EXPECT_EQ(platform.actions()[1].count, 2u);
  const uint16_t deleteScan = RecordingKeyPlatform::FakeScanCode(46);
  const uint16_t enterScan = RecordingKeyPlatform::FakeScanCode(13);
  EXPECT_EQ(Event(0).vk, 46);
  EXPECT_EQ(Event(0).scan, deleteScan);
  EXPECT_EQ(Event(0).flags, 1u);
  EXPECT_EQ(Event(1).vk, 46);
  EXPECT_EQ(Event(1).scan, deleteScan);
  EXPECT_EQ(Event(1).flags, 3u);
  EXPECT_EQ(Event(2).vk, 13);
  EXPECT_EQ(Event(2).scan, enterScan);
  EXPECT_EQ(Event(2).flags, 0u);
  EXPECT_EQ(Event(3).flags, 2u);
}

TEST_F(Primitives, TypeCharSendsAUnicodePairWithoutKeyCode) {
  TypeChar(platform, u'\u4E2D', state);
  ASSERT_EQ(platform.sendCalls(), 1u);
  ASSERT_EQ(platform.events().size(), 2u);
  EXPECT_EQ(Event(0).vk, 0);
  EXPECT_EQ(Event(0).scan, 0x4E2D);
  EXPECT_EQ(Event(0).flags, 4u);
  EXPECT_EQ(Event(1).vk, 0);
  EXPECT_EQ(Event(1).scan, 0x4E2D);
  EXPECT_EQ(Event(1).flags, 6u);
  EXPECT_EQ(platform.scanCodeCalls(), 0u);
}

TEST_F(Primitives, KeyDownAndKeyUpSendOneRecordEach) {
  KeyDown(platform, 16, false, state);
  KeyUp(platform, 16, false);
  KeyDown(platform, 37, true, state);
  KeyUp(platform, 37, true);
  EXPECT_EQ(Transcript(platform), "D16 U16 D37x U37x");
  EXPECT_EQ(platform.sendCalls(), 4u);
  EXPECT_EQ(Event(2).flags, 1u);
  EXPECT_EQ(Event(3).flags, 3u);
}

TEST_F(Primitives, RepeatedPressesAreSeparateCallsWithOneScanCodeLookup) {
  PressKey(platform, 9, false, 3, state);
  EXPECT_EQ(Transcript(platform), "P9 P9 P9");
  EXPECT_EQ(platform.sendCalls(), 3u);
  EXPECT_EQ(platform.scanCodeCalls(), 1u);
}

TEST_F(Primitives, PendingPauseIsTakenOnceByTheNextPausingEvent) {
  state.pendingDelayMs = 100;
  KeyUp(platform, 16, false);  // no pause, pending left alone
  EXPECT_EQ(state.pendingDelayMs, 100);
  TypeChar(platform, u'a', state);
  TypeChar(platform, u'b', state);
  EXPECT_EQ(Transcript(platform), "U16 S100 'a' 'b'");
  EXPECT_EQ(state.pendingDelayMs, 0);
}

TEST_F(Primitives, DefaultPauseComesBeforeEveryRepetition) {
  state.defaultDelayMs = 20;
  PressKey(platform, 13, false, 3, state);
  KeyDown(platform, 16, false, state);
  KeyUp(platform, 16, false);
  EXPECT_EQ(Transcript(platform), "S20 P13 S20 P13 S20 P13 S20 D16 U16");
  EXPECT_EQ(state.pendingDelayMs, 0);
  EXPECT_EQ(state.defaultDelayMs, 20);
}

TEST_F(Primitives, PendingPauseWinsOverTheDefaultOnce) {
  state.defaultDelayMs = 20;
  state.pendingDelayMs = 70;
  TypeChar(platform, u'a', state);
  TypeChar(platform, u'b', state);
  EXPECT_EQ(Transcript(platform), "S70 'a' S20 'b'");
}

TEST_F(Primitives, ZeroCountSendsNothingAndKeepsThePause) {
  state.pendingDelayMs = 100;
  PressKey(platform, 13, false, 0, state);
  EXPECT_TRUE(platform.actions().empty());
  EXPECT_EQ(platform.scanCodeCalls(), 0u);
  EXPECT_EQ(state.pendingDelayMs, 100);
}

TEST_F(Primitives, NegativePausesAreNotSlept) {
  state.pendingDelayMs = -5;
  TypeChar(platform, u'a', state);
  EXPECT_EQ(state.pendingDelayMs, 0);  // consumed all the same
  state.defaultDelayMs = -1;
  TypeChar(platform, u'b', state);
  EXPECT_EQ(Transcript(platform), "'a' 'b'");
}

TEST_F(Primitives, CodesThatAreNoVirtualKeysAreDroppedWithoutPausing) {
  state.pendingDelayMs = 40;
  PressKey(platform, 0, false, 1, state);
  PressKey(platform, 255, false, 2, state);
  PressKey(platform, 0x4E2D, false, 1, state);
  KeyDown(platform, 300, false, state);
  KeyUp(platform, 65535, false);
  EXPECT_TRUE(platform.actions().empty());
  EXPECT_EQ(state.pendingDelayMs, 40);
  PressKey(platform, 1, false, 1, state);
  PressKey(platform, 254, false, 1, state);
  EXPECT_EQ(Transcript(platform), "S40 P1 P254");
}

}  // namespace
}  // namespace kwo::keys
