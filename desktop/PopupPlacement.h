#pragma once
// Where the main window comes up when it is called: on the monitor of the
// window the user works in, just below its text caret (above it when there is
// no room below), else centred on that window; always inside the monitor's
// work area.
#include "desktop/TargetLock.h"
#include "desktop/TargetPlatform.h"

namespace kwo::desktop {

// The popup moved into the work area as little as possible; a popup larger
// than the work area keeps its left or top edge on the work area's.
ScreenRect ClampInto(const ScreenRect& popup, const ScreenRect& work);

// Left edge at the caret and top edge at its bottom; above the caret when the
// popup does not fit below it, and on the side with more room when it fits on
// neither. Then clamped into the work area.
ScreenRect PlaceAtCaret(const ScreenRect& popup, const ScreenRect& caret, const ScreenRect& work);

// Centred on the window, then clamped into the work area.
ScreenRect CentreOn(const ScreenRect& popup, const ScreenRect& window, const ScreenRect& work);

// The popup's place for the target: at the caret of the target's thread if it
// shows one, else centred on the target, on the target's monitor. Without a
// target the popup stays where it is, clamped into the nearest work area.
ScreenRect PlaceForTarget(TargetPlatform& platform, const Target& target, const ScreenRect& popup);

}  // namespace kwo::desktop
