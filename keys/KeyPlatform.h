#pragma once
// The narrow seam between the interpreter and the desktop. The Windows
// implementation (WinKeyPlatform) forwards to SendInput, MapVirtualKeyW,
// Sleep, Beep and the window functions; tests use a recorder.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kwo::keys {

// One keyboard input record as SendInput takes it (time and extra info are always 0).
struct KeyEvent {
  uint16_t vk;
  uint16_t scan;
  uint32_t flags;
};

enum KeyEventFlags : uint32_t {
  kExtendedKey = 1,  // KEYEVENTF_EXTENDEDKEY
  kKeyUp = 2,        // KEYEVENTF_KEYUP
  kUnicode = 4,      // KEYEVENTF_UNICODE
};

class KeyPlatform {
 public:
  virtual ~KeyPlatform() = default;
  // One SendInput call with these records, in order. False when the system
  // took fewer records than asked (input blocked, or refused by a window of
  // higher integrity): the rest of the sequence must not be typed blind.
  virtual bool SendEvents(const KeyEvent* events, size_t count) = 0;
  // MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) in the keyboard layout of the calling thread.
  virtual uint16_t ScanCode(uint16_t vk) = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual void Beep(uint32_t frequency, uint32_t milliseconds) = 0;
  // Brings the top-level window with this title (exact, case-insensitive) or
  // whose title contains it (case-sensitive) to the front; false if none.
  virtual bool ActivateWindow(std::u16string_view title) = 0;
  // True once the user has asked to stop the sending (Esc or the hotkey
  // while it runs): a pause ends early, and the interpreter sends nothing
  // more but the releases of the keys it holds.
  virtual bool Cancelled() { return false; }

  // A sending (an entry or the timed sequence, all its pieces) runs from
  // BeginSending to EndSending; Sending() tells whether one runs. Only then
  // can the user cancel it.
  virtual void BeginSending() {}
  virtual void EndSending() {}
  virtual bool Sending() const { return false; }
  // A hotkey the sending took as a cancel after everything had been sent
  // cancelled nothing: it is given back, to do what it does outside a sending.
  virtual void GiveBackUnusedHotKey() {}
};

}  // namespace kwo::keys
