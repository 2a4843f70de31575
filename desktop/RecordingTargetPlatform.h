#pragma once
// A TargetPlatform that plays a scripted desktop on a simulated clock: Wait
// advances the clock; a requested window comes to the front after a delay
// (or never), its thread takes the focus a little later, windows close and
// keys are released at given times; windows, carets and monitors lie where
// the test puts them, and it notes the windows hidden and moved. Used by the
// tests of the target lock, the placement and the sender.
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "desktop/TargetPlatform.h"

namespace kwo::desktop {

class RecordingTargetPlatform final : public TargetPlatform {
 public:
  static constexpr uint64_t kNever = UINT64_MAX;

  struct Window {
    uint32_t thread = 1;
    bool ours = false;
    bool answers = true;
    IntegrityProbe integrity{true, 0x2000};
    uint64_t closesAtMs = kNever;
    ScreenRect rect{};
  };

  std::map<WindowId, Window> windows;
  WindowId foreground = 0;
  uint64_t frontSinceMs = 0;
  uint64_t frontDelayMs = 0;   // from a request until the window is in front; kNever: it never comes
  uint64_t focusDelayMs = 0;   // from coming to the front until its thread has the focus
  std::map<uint16_t, uint64_t> keyReleasedAtMs;  // keys held until then
  IntegrityProbe own{true, 0x2000};
  std::map<uint32_t, ScreenRect> carets;  // by thread
  // Monitors as whole area and work area; the first is the primary one.
  struct Monitor {
    ScreenRect area;
    ScreenRect work;
  };
  std::vector<Monitor> monitors{{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}};

  uint64_t now = 0;
  int requests = 0;
  int placements = 0;
  struct Hidden {
    WindowId window;
    uint64_t atMs;
  };
  std::vector<Hidden> hidden;
  WindowId frontAfterHide = 0;

  // Puts a window in front at once (another program taking the front).
  void Activate(WindowId window) {
    foreground = window;
    frontSinceMs = now;
    pending_ = 0;
  }

  WindowId ForegroundWindow() override {
    if (pending_ != 0 && frontDelayMs != kNever && now >= requestedAtMs_ + frontDelayMs) Activate(pending_);
    return WindowExists(foreground) ? foreground : 0;
  }
  uint32_t WindowThread(WindowId window) override {
    return WindowExists(window) ? windows[window].thread : 0;
  }
  bool CanBeTarget(WindowId window) override { return WindowExists(window) && !windows[window].ours; }
  bool WindowExists(WindowId window) override {
    const auto found = windows.find(window);
    return found != windows.end() && now < found->second.closesAtMs;
  }
  bool WindowAnswers(WindowId window, uint32_t) override { return windows[window].answers; }
  void RequestForeground(WindowId window) override {
    ++requests;
    if (pending_ == window) return;  // a repeated request does not restart the activation
    pending_ = window;
    requestedAtMs_ = now;
  }
  // Hiding the window in front leaves nothing in front; frontAfterHide, when
  // set, comes to the front after frontDelayMs, as the system activates it.
  void HideWindow(WindowId window) override {
    hidden.push_back({window, now});
    if (foreground != window) return;
    foreground = 0;
    if (frontAfterHide == 0) return;
    pending_ = frontAfterHide;
    requestedAtMs_ = now;
  }
  void PlaceWindow(WindowId window, int32_t left, int32_t top) override {
    ScreenRect& rect = windows[window].rect;
    rect = {left, top, left + rect.Width(), top + rect.Height()};
    ++placements;
  }
  bool ThreadHasFocus(uint32_t thread) override {
    const WindowId front = ForegroundWindow();
    return front != 0 && windows[front].thread == thread && now >= frontSinceMs + focusDelayMs;
  }
  bool KeyIsDown(uint16_t vk) override {
    const auto found = keyReleasedAtMs.find(vk);
    return found != keyReleasedAtMs.end() && now < found->second;
  }
  IntegrityProbe WindowIntegrity(WindowId window) override { return windows[window].integrity; }
  IntegrityProbe OwnIntegrity() override { return own; }
  std::optional<ScreenRect> CaretOf(uint32_t thread) override {
    const auto found = carets.find(thread);
    if (found == carets.end()) return std::nullopt;
    return found->second;
  }
  std::optional<ScreenRect> WindowRect(WindowId window) override {
    if (!WindowExists(window)) return std::nullopt;
    return windows[window].rect;
  }
  ScreenRect WorkAreaOf(WindowId window) override { return WorkAreaNear(windows[window].rect); }
  // The monitor that overlaps the rectangle most, else the nearest one (as MonitorFromRect).
  ScreenRect WorkAreaNear(const ScreenRect& rect) override {
    const Monitor* best = &monitors.front();
    int64_t bestOverlap = -1;
    int64_t bestDistance = INT64_MAX;
    for (const Monitor& monitor : monitors) {
      const int64_t w = int64_t{std::min(rect.right, monitor.area.right)} - std::max(rect.left, monitor.area.left);
      const int64_t h = int64_t{std::min(rect.bottom, monitor.area.bottom)} - std::max(rect.top, monitor.area.top);
      const int64_t overlap = w > 0 && h > 0 ? w * h : 0;
      const int64_t dx = std::max<int64_t>({0, int64_t{monitor.area.left} - rect.right, int64_t{rect.left} - monitor.area.right});
      const int64_t dy = std::max<int64_t>({0, int64_t{monitor.area.top} - rect.bottom, int64_t{rect.top} - monitor.area.bottom});
      const int64_t distance = dx * dx + dy * dy;
      if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
        best = &monitor;
        bestOverlap = overlap;
        bestDistance = distance;
      }
    }
    return best->work;
  }
  uint64_t NowMs() override { return now; }
  void Wait(uint32_t milliseconds) override { now += milliseconds; }
  keys::LocalDateTime LocalNow() override { return localNow; }

  // The local time LocalNow gives.
  keys::LocalDateTime localNow{2026, 12, 8, 14, 5, 9};

 private:
  WindowId pending_ = 0;
  uint64_t requestedAtMs_ = 0;
};

}  // namespace kwo::desktop
