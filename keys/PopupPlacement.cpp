#include "keys/PopupPlacement.h"

#include <algorithm>

namespace kwo::keys {
namespace {

ScreenRect MovedTo(const ScreenRect& rect, int32_t left, int32_t top) {
  return {left, top, left + rect.Width(), top + rect.Height()};
}

// The start of a span of the given length moved into [low, high).
int32_t ClampSpan(int32_t start, int32_t length, int32_t low, int32_t high) {
  if (length >= high - low) return low;
  return std::clamp(start, low, high - length);
}

}  // namespace

ScreenRect ClampInto(const ScreenRect& popup, const ScreenRect& work) {
  return MovedTo(popup, ClampSpan(popup.left, popup.Width(), work.left, work.right),
                 ClampSpan(popup.top, popup.Height(), work.top, work.bottom));
}

ScreenRect PlaceAtCaret(const ScreenRect& popup, const ScreenRect& caret, const ScreenRect& work) {
  const int32_t roomBelow = work.bottom - caret.bottom;
  const int32_t roomAbove = caret.top - work.top;
  const bool below = popup.Height() <= roomBelow || (popup.Height() > roomAbove && roomBelow >= roomAbove);
  const int32_t top = below ? caret.bottom : caret.top - popup.Height();
  return ClampInto(MovedTo(popup, caret.left, top), work);
}

ScreenRect CentreOn(const ScreenRect& popup, const ScreenRect& window, const ScreenRect& work) {
  const int32_t left = window.left + (window.Width() - popup.Width()) / 2;
  const int32_t top = window.top + (window.Height() - popup.Height()) / 2;
  return ClampInto(MovedTo(popup, left, top), work);
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

}  // namespace kwo::keys
