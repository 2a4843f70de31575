#include "desktop/PopupPlacement.h"

#include <algorithm>

namespace kwo::desktop {
namespace {

// The start of a span of the given length moved into [low, high). The
// arithmetic is wide: a caret or window may report any coordinate at all.
int32_t ClampSpan(int64_t start, int64_t length, int32_t low, int32_t high) {
  if (length >= int64_t{high} - low) return low;
  return static_cast<int32_t>(std::clamp<int64_t>(start, low, int64_t{high} - length));
}

int64_t WidthOf(const ScreenRect& rect) { return int64_t{rect.right} - rect.left; }
int64_t HeightOf(const ScreenRect& rect) { return int64_t{rect.bottom} - rect.top; }

// The popup with its top left corner at (left, top), moved into the work area.
ScreenRect PlacedInto(const ScreenRect& popup, int64_t left, int64_t top, const ScreenRect& work) {
  const int32_t x = ClampSpan(left, WidthOf(popup), work.left, work.right);
  const int32_t y = ClampSpan(top, HeightOf(popup), work.top, work.bottom);
  return {x, y, static_cast<int32_t>(x + WidthOf(popup)), static_cast<int32_t>(y + HeightOf(popup))};
}

}  // namespace

ScreenRect ClampInto(const ScreenRect& popup, const ScreenRect& work) {
  return PlacedInto(popup, popup.left, popup.top, work);
}

ScreenRect PlaceAtCaret(const ScreenRect& popup, const ScreenRect& caret, const ScreenRect& work) {
  const int64_t height = HeightOf(popup);
  const int64_t roomBelow = int64_t{work.bottom} - caret.bottom;
  const int64_t roomAbove = int64_t{caret.top} - work.top;
  const bool below = height <= roomBelow || (height > roomAbove && roomBelow >= roomAbove);
  return PlacedInto(popup, caret.left, below ? caret.bottom : caret.top - height, work);
}

ScreenRect CentreOn(const ScreenRect& popup, const ScreenRect& window, const ScreenRect& work) {
  return PlacedInto(popup, window.left + (WidthOf(window) - WidthOf(popup)) / 2,
                    window.top + (HeightOf(window) - HeightOf(popup)) / 2, work);
}

ScreenRect PlaceForTarget(TargetPlatform& platform, const Target& target, const ScreenRect& popup) {
  if (target.window == 0 || !platform.WindowExists(target.window)) {
    return ClampInto(popup, platform.WorkAreaNear(popup));
  }
  const ScreenRect work = platform.WorkAreaOf(target.window);
  if (const auto caret = platform.CaretOf(target.thread)) return PlaceAtCaret(popup, *caret, work);
  if (const auto window = platform.WindowRect(target.window)) return CentreOn(popup, *window, work);
  return ClampInto(popup, work);
}

}  // namespace kwo::desktop
