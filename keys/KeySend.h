#pragma once
// The key-sequence interpreter: plain text is typed as Unicode characters,
// brace groups press keys, hold and release modifiers, repeat, pause, beep
// and activate windows. It acts at once through a KeyPlatform.
#include <cstdint>

#include "keys/KeyPlatform.h"

namespace kwo::keys {

// Pauses carried between key events and between calls; owned by the caller.
struct KeySendState {
  int32_t defaultDelayMs = 0;  // before every key event; set by {DELAY=n}, reset when a call ends
  int32_t pendingDelayMs = 0;  // once, before the next key event; set by {DELAY n}
};

// Carries out the whole key sequence (NUL-terminated UTF-16). Returns false
// when it stopped at a brace group longer than 299 code units.
bool SendKeySequence(const char16_t* text, KeySendState& state, KeyPlatform& platform);

// Injection primitives. Each pausing primitive takes the pause rule first:
// the pending pause once, else the default one; a pause below 1 ms sleeps not
// at all. Codes outside 1..254 are no virtual keys: PressKey, KeyDown and
// KeyUp send nothing for them and take no pause; so does a count of 0.
void PressKey(KeyPlatform& platform, uint16_t code, bool extended, uint16_t count, KeySendState& state);
void KeyDown(KeyPlatform& platform, uint16_t code, bool extended, KeySendState& state);
void KeyUp(KeyPlatform& platform, uint16_t code, bool extended);
void TypeChar(KeyPlatform& platform, char16_t unit, KeySendState& state);

}  // namespace kwo::keys
