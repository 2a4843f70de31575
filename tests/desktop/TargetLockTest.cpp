#include <gtest/gtest.h>

#include "desktop/RecordingTargetPlatform.h"
#include "desktop/TargetLock.h"

namespace kwo::desktop {
namespace {

constexpr WindowId kEditor = 0x100;
constexpr WindowId kEditorDialog = 0x101;  // a dialog the editor's thread opened
constexpr WindowId kOurs = 0x200;
constexpr WindowId kOther = 0x300;
constexpr uint16_t kCtrl = 0x11;
constexpr uint16_t kEnter = 0x0D;

struct TargetLockTest : ::testing::Test {
  RecordingTargetPlatform desk;
  LockTimes times;
  Target editor{kEditor, 7};

  void SetUp() override {
    desk.windows[kEditor].thread = 7;
    desk.windows[kEditorDialog].thread = 7;
    desk.windows[kOurs] = {3, true};
    desk.windows[kOther].thread = 9;
    desk.Activate(kOurs);  // the main window is up; the editor was in front before
  }
};

TEST(InputIsRefused, HigherOrUnreadableTargetsRefuseLowerCallers) {
  const IntegrityProbe unknown{false, 0};
  const IntegrityProbe medium{true, 0x2000}, high{true, 0x3000}, system{true, 0x4000};
  EXPECT_FALSE(InputIsRefused(medium, medium));
  EXPECT_FALSE(InputIsRefused(medium, high));
  EXPECT_TRUE(InputIsRefused(high, medium));
  EXPECT_TRUE(InputIsRefused(system, high));
  // A target that cannot be opened for query is taken for an elevated one, unless we are elevated ourselves.
  EXPECT_TRUE(InputIsRefused(unknown, medium));
  EXPECT_FALSE(InputIsRefused(unknown, high));
  // Without our own level there is nothing to compare: typing is tried.
  EXPECT_FALSE(InputIsRefused(high, unknown));
}

TEST_F(TargetLockTest, CaptureTakesOnlyWindowsOfOtherPrograms) {
  desk.Activate(kEditor);
  EXPECT_EQ(CaptureForeground(desk).window, kEditor);
  EXPECT_EQ(CaptureForeground(desk).thread, 7u);
  desk.Activate(kOurs);
  EXPECT_EQ(CaptureForeground(desk).window, 0u);
  desk.foreground = 0;
  EXPECT_EQ(CaptureForeground(desk).window, 0u);
}

TEST_F(TargetLockTest, WaitsUntilTheTargetIsInFrontWithItsFocus) {
  desk.frontDelayMs = 40;
  desk.focusDelayMs = 25;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::None);
  EXPECT_EQ(desk.foreground, kEditor);
  EXPECT_GE(desk.now, 65u);
  EXPECT_LE(desk.now, 65u + times.pollMs);
  EXPECT_EQ(desk.requests, 1);
}

TEST_F(TargetLockTest, ATargetAlreadyInFrontCostsNoWait) {
  desk.Activate(kEditor);
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::None);
  EXPECT_EQ(desk.now, 0u);
  EXPECT_EQ(desk.requests, 0);
}

TEST_F(TargetLockTest, ADialogOfTheTargetsThreadCounts) {
  desk.Activate(kEditorDialog);
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::None);
}

TEST_F(TargetLockTest, ATargetThatDoesNotComeBackIsGivenUpAfterTheLimit) {
  desk.frontDelayMs = RecordingTargetPlatform::kNever;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::NotInFront);
  EXPECT_GE(desk.now, times.frontMs);
  EXPECT_LE(desk.now, times.frontMs + times.pollMs);
  EXPECT_GE(desk.requests, 9);  // asked again every 100 ms

  // In front, but its thread never sets the focus: not ready either.
  desk.Activate(kEditor);
  desk.focusDelayMs = RecordingTargetPlatform::kNever / 2;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::NotInFront);
}

// The wait of a window activation that asked by its own means: it asks no
// more when askAgainMs reaches the limit, and a window closed meanwhile ends it.
TEST_F(TargetLockTest, AwaitFrontAsksAgainOnlyBelowTheLimit) {
  desk.RequestForeground(kEditor);
  desk.frontDelayMs = 30;
  desk.focusDelayMs = 20;
  LockTimes once = times;
  once.askAgainMs = once.frontMs;
  EXPECT_EQ(AwaitFront(desk, editor, once), TargetProblem::None);
  EXPECT_GE(desk.now, 50u);
  EXPECT_LE(desk.now, 50u + once.pollMs);
  EXPECT_EQ(desk.requests, 1);

  desk.Activate(kOurs);
  desk.frontDelayMs = RecordingTargetPlatform::kNever;
  const uint64_t start = desk.now;
  EXPECT_EQ(AwaitFront(desk, editor, once), TargetProblem::NotInFront);
  EXPECT_GE(desk.now - start, once.frontMs);
  EXPECT_EQ(desk.requests, 1);
  EXPECT_EQ(AwaitFront(desk, editor, times), TargetProblem::NotInFront);
  EXPECT_GE(desk.requests, 1 + 9);  // asked again every 100 ms

  desk.windows[kEditor].closesAtMs = desk.now + 70;
  EXPECT_EQ(AwaitFront(desk, editor, once), TargetProblem::Gone);
}

TEST_F(TargetLockTest, AnotherProgramInFrontIsNeverTakenForTheTarget) {
  desk.Activate(kOther);
  desk.frontDelayMs = RecordingTargetPlatform::kNever;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::NotInFront);
  EXPECT_EQ(desk.foreground, kOther);
}

TEST_F(TargetLockTest, ClosedHungOrElevatedTargetsAreRefusedBeforeAnyActivation) {
  desk.windows[kEditor].closesAtMs = 0;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::Gone);
  desk.windows[kEditor] = {7};
  // The handle now belongs to a window of another thread: not the same window.
  EXPECT_EQ(LockTarget(desk, Target{kEditor, 8}, times), TargetProblem::Gone);
  desk.windows[kEditor].answers = false;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::Hung);
  desk.windows[kEditor].answers = true;
  desk.windows[kEditor].integrity = {true, 0x3000};
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::Elevated);
  desk.windows[kEditor].integrity = {false, 0};
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::Elevated);
  EXPECT_EQ(LockTarget(desk, Target{}, times), TargetProblem::NoTarget);
  EXPECT_EQ(desk.requests, 0);
  EXPECT_EQ(desk.now, 0u);
}

TEST_F(TargetLockTest, ATargetClosedWhileWaitingIsGone) {
  desk.frontDelayMs = RecordingTargetPlatform::kNever;
  desk.windows[kEditor].closesAtMs = 300;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::Gone);
  EXPECT_LE(desk.now, 300u + times.pollMs);
}

TEST_F(TargetLockTest, HeldModifiersAreWaitedForUpToTheirLimit) {
  desk.Activate(kEditor);
  desk.keyReleasedAtMs[kCtrl] = 700;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::None);
  EXPECT_GE(desk.now, 700u);

  desk.now = 0;
  desk.keyReleasedAtMs[kCtrl] = 2500;
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::KeysHeld);
  EXPECT_LE(desk.now, times.keysMs + times.pollMs);

  // Enter is no modifier; the sender waits for it separately.
  desk.now = 0;
  desk.keyReleasedAtMs = {{kEnter, 5000}};
  EXPECT_EQ(LockTarget(desk, editor, times), TargetProblem::None);
  EXPECT_FALSE(WaitForKeysUp(desk, {kEnter}, 1000, 5));
  EXPECT_TRUE(WaitForKeysUp(desk, {kEnter}, 5000, 5));
}

}  // namespace
}  // namespace kwo::desktop
