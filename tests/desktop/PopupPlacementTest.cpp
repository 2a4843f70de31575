#include <gtest/gtest.h>

#include <cstdint>

#include "desktop/PopupPlacement.h"
#include "desktop/RecordingTargetPlatform.h"

namespace kwo::desktop {
namespace {

constexpr ScreenRect kWork{0, 0, 1920, 1040};
constexpr ScreenRect kLeftWork{-1280, 0, 0, 984};  // a second monitor left of the primary one
constexpr ScreenRect kPopup{100, 100, 500, 400};  // 400 x 300, where it was last

struct CaretCase {
  const char* name;
  ScreenRect caret;
  ScreenRect work;
  ScreenRect popup;
  int32_t left;
  int32_t top;
};

TEST(PopupPlacement, PlacesBelowTheCaretOrAboveItAndAlwaysInsideTheWorkArea) {
  const CaretCase cases[] = {
      {"below", {500, 200, 502, 220}, kWork, kPopup, 500, 220},
      {"exactly fits below", {500, 720, 502, 740}, kWork, kPopup, 500, 740},
      {"flips above at the bottom edge", {500, 900, 502, 920}, kWork, kPopup, 500, 600},
      {"moved left at the right edge", {1800, 200, 1802, 220}, kWork, kPopup, 1520, 220},
      {"fits on neither side: more room below", {10, 150, 12, 170}, {0, 0, 800, 400}, kPopup, 10, 100},
      {"fits on neither side: more room above", {10, 250, 12, 270}, {0, 0, 800, 400}, kPopup, 10, 0},
      {"monitor at negative coordinates", {-20, 500, -18, 520}, kLeftWork, kPopup, -400, 520},
      {"caret off the monitor", {5000, -80, 5002, -60}, kWork, kPopup, 1520, 0},
      {"larger than the work area", {300, 200, 302, 220}, {0, 0, 800, 400}, {0, 0, 900, 500}, 0, 0},
      // The room above and below is measured without overflow.
      {"caret far above a lower monitor", {0, INT32_MIN, 2, INT32_MIN + 20}, {0, 2000, 1920, 3040}, kPopup, 0, 2000},
  };
  for (const CaretCase& c : cases) {
    const ScreenRect placed = PlaceAtCaret(c.popup, c.caret, c.work);
    EXPECT_EQ(placed.left, c.left) << c.name;
    EXPECT_EQ(placed.top, c.top) << c.name;
    EXPECT_EQ(placed.Width(), c.popup.Width()) << c.name;
    EXPECT_EQ(placed.Height(), c.popup.Height()) << c.name;
  }
}

struct PlaceForTargetTest : ::testing::Test {
  RecordingTargetPlatform desk;
  const Target editor{0x100, 7};

  void SetUp() override {
    desk.monitors = {{{0, 0, 1920, 1080}, kWork}, {{1920, 0, 3200, 1024}, {1920, 0, 3200, 984}}};
    desk.windows[editor.window].thread = 7;
    desk.windows[editor.window].rect = {2000, 100, 2800, 700};  // on the second monitor
  }
};

TEST_F(PlaceForTargetTest, FollowsTheCaretElseTheWindowOnItsMonitor) {
  desk.carets[7] = {2100, 400, 2102, 420};
  EXPECT_EQ(PlaceForTarget(desk, editor, kPopup), (ScreenRect{2100, 420, 2500, 720}));
  desk.carets[7] = {3150, 960, 3152, 980};  // bottom right corner of the second monitor
  EXPECT_EQ(PlaceForTarget(desk, editor, kPopup), (ScreenRect{2800, 660, 3200, 960}));
  desk.carets.clear();
  EXPECT_EQ(PlaceForTarget(desk, editor, kPopup), (ScreenRect{2200, 250, 2600, 550}));
}

TEST_F(PlaceForTargetTest, WithoutATargetStaysWhereItWasInsideAWorkArea) {
  EXPECT_EQ(PlaceForTarget(desk, {}, kPopup), kPopup);
  EXPECT_EQ(PlaceForTarget(desk, {}, {3000, 900, 3400, 1200}), (ScreenRect{2800, 684, 3200, 984}));
  // A target closed since: the same.
  desk.windows[editor.window].closesAtMs = 0;
  EXPECT_EQ(PlaceForTarget(desk, editor, {-600, 10, -200, 310}), (ScreenRect{0, 10, 400, 310}));
}

}  // namespace
}  // namespace kwo::desktop
