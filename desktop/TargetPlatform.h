#pragma once
// The narrow seam between the target lock and the desktop: which window is in
// front, whether a window still exists and answers, whose thread has the
// focus, which keys are held, hiding and moving this program's windows, the integrity of a window's process, where a
// window and its text caret lie on the screen, and the clock.
// WinTargetPlatform forwards to the Windows functions;
// RecordingTargetPlatform plays a scripted desktop for the tests.
#include <cstdint>
#include <optional>

#include "keys/Calendar.h"

namespace kwo::desktop {

// A top-level window as a number (an HWND on Windows); 0 is no window.
using WindowId = uintptr_t;

// A rectangle on the screen in pixels; right and bottom lie just outside it.
struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const ScreenRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
  bool operator!=(const ScreenRect& other) const { return !(*this == other); }
};

// What could be learned about the integrity level of a process.
struct IntegrityProbe {
  bool known = false;   // false: the process or its token could not be opened for query
  uint32_t level = 0;   // the mandatory-label RID (0x2000 medium, 0x3000 high, ...)
};

class TargetPlatform {
 public:
  virtual ~TargetPlatform() = default;
  virtual WindowId ForegroundWindow() = 0;
  // The thread that owns the window; 0 when there is no such window.
  virtual uint32_t WindowThread(WindowId window) = 0;
  // Whether typed input may be meant for the window: not one of this
  // program's own windows, nor the taskbar.
  virtual bool CanBeTarget(WindowId window) = 0;
  // IsWindow.
  virtual bool WindowExists(WindowId window) = 0;
  // False when the window's thread is hung or does not answer a message in time.
  virtual bool WindowAnswers(WindowId window, uint32_t timeoutMs) = 0;
  // Restores the window if it is minimised and asks for it to be put in front.
  virtual void RequestForeground(WindowId window) = 0;
  // Hides one of this program's windows (the system then activates another one).
  virtual void HideWindow(WindowId window) = 0;
  // Moves one of this program's windows, keeping its size and its place in the z-order, without activating it.
  virtual void PlaceWindow(WindowId window, int32_t left, int32_t top) = 0;
  // True when the thread has a window with the keyboard focus.
  virtual bool ThreadHasFocus(uint32_t thread) = 0;
  // The physical state of a virtual key (GetAsyncKeyState).
  virtual bool KeyIsDown(uint16_t vk) = 0;
  virtual IntegrityProbe WindowIntegrity(WindowId window) = 0;
  virtual IntegrityProbe OwnIntegrity() = 0;
  // The text caret the thread shows, in screen coordinates; none when it has none.
  virtual std::optional<ScreenRect> CaretOf(uint32_t thread) = 0;
  // Where the window lies on the screen; none when there is no such window.
  virtual std::optional<ScreenRect> WindowRect(WindowId window) = 0;
  // The work area (the screen without the taskbar) of the monitor that holds
  // most of the window, or of the one nearest to the rectangle.
  virtual ScreenRect WorkAreaOf(WindowId window) = 0;
  virtual ScreenRect WorkAreaNear(const ScreenRect& rect) = 0;
  // A monotonic clock in milliseconds and a short wait on it.
  virtual uint64_t NowMs() = 0;
  virtual void Wait(uint32_t milliseconds) = 0;
  // The local date and time (GetLocalTime): the moment of a sending, which
  // its date and time fields type.
  virtual keys::LocalDateTime LocalNow() = 0;
};

}  // namespace kwo::desktop
