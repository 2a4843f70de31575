// PressKey, KeyDown, KeyUp and TypeChar: the key events of the interpreter,
// each taking the pause rule before it sends anything.
#include "keys/KeySend.h"

namespace kwo::keys {
namespace {

// Codes outside 1..254 are not virtual keys; they can come from groups that
// name no key ({中}, {VKEY 300}) and are dropped rather than sent.
bool IsVirtualKey(uint16_t code) { return code >= 1 && code <= 254; }

// The pending pause is taken once; otherwise the default pause becomes the
// pending one and is taken. A negative pause is no pause: handed to Sleep
// as an unsigned count it would block for weeks. False when the sending was
// cancelled: the key event that was to follow is not sent.
bool TakePause(KeyPlatform& platform, KeySendState& state) {
  int32_t delay = state.pendingDelayMs;
  if (delay == 0) {
    delay = state.defaultDelayMs;
    state.pendingDelayMs = delay;
  }
  if (delay > 0) platform.Sleep(static_cast<uint32_t>(delay));
  state.pendingDelayMs = 0;
  return !platform.Cancelled();
}

uint32_t DownFlags(bool extended) { return extended ? kExtendedKey : 0u; }
uint32_t UpFlags(bool extended) { return DownFlags(extended) | kKeyUp; }

}  // namespace

bool PressKey(KeyPlatform& platform, uint16_t code, bool extended, uint16_t count, KeySendState& state) {
  if (count == 0 || !IsVirtualKey(code)) return true;
  const uint16_t scan = platform.ScanCode(code);
  const KeyEvent pair[2] = {{code, scan, DownFlags(extended)}, {code, scan, UpFlags(extended)}};
  for (uint16_t i = 0; i < count; ++i) {
    if (!TakePause(platform, state) || !platform.SendEvents(pair, 2)) return false;
  }
  return true;
}

bool KeyDown(KeyPlatform& platform, uint16_t code, bool extended, KeySendState& state) {
  if (!IsVirtualKey(code)) return true;
  if (!TakePause(platform, state)) return false;
  const KeyEvent down[1] = {{code, platform.ScanCode(code), DownFlags(extended)}};
  return platform.SendEvents(down, 1);
}

bool KeyUp(KeyPlatform& platform, uint16_t code, bool extended) {
  if (!IsVirtualKey(code)) return true;
  const KeyEvent up[1] = {{code, platform.ScanCode(code), UpFlags(extended)}};
  return platform.SendEvents(up, 1);
}

bool TypeChar(KeyPlatform& platform, char16_t unit, KeySendState& state) {
  if (!TakePause(platform, state)) return false;
  const KeyEvent pair[2] = {{0, unit, kUnicode}, {0, unit, kUnicode | kKeyUp}};
  return platform.SendEvents(pair, 2);
}

bool TakePendingPause(KeyPlatform& platform, KeySendState& state) {
  if (state.pendingDelayMs <= 0) return !platform.Cancelled();
  platform.Sleep(static_cast<uint32_t>(state.pendingDelayMs));
  if (platform.Cancelled()) {
    state.pendingDelayMs = 0;
    return false;
  }
  // Taken: the next key event takes no pause at all, not even the default one.
  state.pendingDelayMs = -1;
  return true;
}

}  // namespace kwo::keys
