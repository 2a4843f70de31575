#pragma once
// A TargetPlatform that plays a scripted desktop on a simulated clock: Wait
// advances the clock; a requested window comes to the front after a delay
// (or never), its thread takes the focus a little later, windows close and
// keys are released at given times. Used by the tests of the target lock.
#include <cstdint>
#include <map>

#include "keys/TargetPlatform.h"

namespace kwo::keys {

class RecordingTargetPlatform final : public TargetPlatform {
 public:
  static constexpr uint64_t kNever = UINT64_MAX;

  struct Window {
    uint32_t thread = 1;
    bool ours = false;
    bool answers = true;
    IntegrityProbe integrity{true, 0x2000};
    uint64_t closesAtMs = kNever;
  };

  std::map<WindowId, Window> windows;
  WindowId foreground = 0;
  uint64_t frontSinceMs = 0;
  uint64_t frontDelayMs = 0;   // from a request until the window is in front; kNever: it never comes
  uint64_t focusDelayMs = 0;   // from coming to the front until its thread has the focus
  std::map<uint16_t, uint64_t> keyReleasedAtMs;  // keys held until then
  IntegrityProbe own{true, 0x2000};

  uint64_t now = 0;
  int requests = 0;

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
  uint64_t NowMs() override { return now; }
  void Wait(uint32_t milliseconds) override { now += milliseconds; }

 private:
  WindowId pending_ = 0;
  uint64_t requestedAtMs_ = 0;
};

}  // namespace kwo::keys
