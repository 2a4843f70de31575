#pragma once
// The KeyPlatform of the real desktop: SendInput, MapVirtualKeyW, Sleep, Beep
// and the activation of a top-level window by its title.
#include "keys/KeyPlatform.h"

namespace kwo::keys {

class WinKeyPlatform final : public KeyPlatform {
 public:
  bool SendEvents(const KeyEvent* events, size_t count) override;
  uint16_t ScanCode(uint16_t vk) override;
  void Sleep(uint32_t milliseconds) override;
  void Beep(uint32_t frequency, uint32_t milliseconds) override;
  bool ActivateWindow(std::u16string_view title) override;
};

}  // namespace kwo::keys
