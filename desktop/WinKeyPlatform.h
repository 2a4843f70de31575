#pragma once
// The KeyPlatform of the real desktop: SendInput, MapVirtualKeyW, Sleep, Beep
// and the activation of a top-level window by its title.
#include <cstdint>

#include "keys/KeyPlatform.h"

namespace kwo::desktop {

class WinKeyPlatform final : public keys::KeyPlatform {
 public:
  WinKeyPlatform() = default;
  ~WinKeyPlatform() override;
  WinKeyPlatform(const WinKeyPlatform&) = delete;
  WinKeyPlatform& operator=(const WinKeyPlatform&) = delete;

  bool SendEvents(const keys::KeyEvent* events, size_t count) override;
  uint16_t ScanCode(uint16_t vk) override;
  void Sleep(uint32_t milliseconds) override;
  void Beep(uint32_t frequency, uint32_t milliseconds) override;
  bool ActivateWindow(std::u16string_view title) override;
  bool Cancelled() override;

  // A sending runs from BeginSending to EndSending. Meanwhile the pauses
  // answer the messages of this thread (its windows, the notification icon),
  // and Esc (a hotkey of this thread for that while) or any other hotkey of
  // this thread cancels the sending: WM_HOTKEY is taken, not dispatched.
  void BeginSending() override;
  void EndSending() override;
  bool Sending() const override { return sending_; }
  // A window's hotkey pressed while the sending ran was taken as a cancel. A
  // sending that had sent everything by then cancelled nothing: the press is
  // posted back, so that it does what it does outside a sending.
  void GiveBackUnusedHotKey() override;

 private:
  // Dispatches the thread's waiting messages; notes a cancel.
  void Pump();
  void HoldEscape(bool hold);
  static bool SendInputs(const keys::KeyEvent* events, size_t count);

  bool sending_ = false;
  bool cancelled_ = false;
  bool escapeHeld_ = false;  // Esc registered as this thread's hotkey, with every modifier
  bool escapePressedHere_ = false;  // Esc held down by the sequence
  uint64_t lastPumpMs_ = 0;
  // The last window hotkey taken during the sending (window, id, keys): Esc's are the thread's, with no window.
  void* takenHotKeyWindow_ = nullptr;
  uintptr_t takenHotKeyId_ = 0;
  intptr_t takenHotKeyKeys_ = 0;
};

}  // namespace kwo::desktop
