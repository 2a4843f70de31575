#pragma once
// The TargetPlatform of the real desktop.
#include "desktop/TargetPlatform.h"

namespace kwo::desktop {

class WinTargetPlatform final : public TargetPlatform {
 public:
  WindowId ForegroundWindow() override;
  uint32_t WindowThread(WindowId window) override;
  bool CanBeTarget(WindowId window) override;
  bool WindowExists(WindowId window) override;
  bool WindowAnswers(WindowId window, uint32_t timeoutMs) override;
  void RequestForeground(WindowId window) override;
  void HideWindow(WindowId window) override;
  void PlaceWindow(WindowId window, int32_t left, int32_t top) override;
  bool ThreadHasFocus(uint32_t thread) override;
  bool KeyIsDown(uint16_t vk) override;
  IntegrityProbe WindowIntegrity(WindowId window) override;
  IntegrityProbe OwnIntegrity() override;
  std::optional<ScreenRect> CaretOf(uint32_t thread) override;
  std::optional<ScreenRect> WindowRect(WindowId window) override;
  ScreenRect WorkAreaOf(WindowId window) override;
  ScreenRect WorkAreaNear(const ScreenRect& rect) override;
  uint64_t NowMs() override;
  keys::LocalDateTime LocalNow() override;
  void Wait(uint32_t milliseconds) override;
};

}  // namespace kwo::desktop
