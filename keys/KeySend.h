#pragma once
// The key-sequence interpreter: plain text is typed as Unicode characters,
// brace groups press keys, hold and release modifiers, repeat, pause, beep
// and activate windows. It acts at once through a KeyPlatform.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "keys/Calendar.h"
#include "keys/ClipboardPlatform.h"
#include "keys/KeyPlatform.h"

namespace kwo::keys {

// What the fields of one sending (all its pieces) read and leave for its end.
struct FieldContext {
  // The moment of the sending, local time, as the caller's clock gives it:
  // date and time fields type nothing without it.
  std::optional<LocalDateTime> now;
  // Where {剪贴板} reads the user's text; none: it types nothing.
  ClipboardPlatform* clipboard = nullptr;
  // The clipboard is read once, at the first {剪贴板} of the sending.
  std::optional<std::u16string> clipboardText;
  // {光标} seen: the characters typed after it, for PlaceCaret.
  bool caretMarked = false;
  size_t typedAfterCaret = 0;
};

// Pauses carried between key events and between calls, and the fields of
// the sending; owned by the caller.
struct KeySendState {
  int32_t defaultDelayMs = 0;  // before every key event; set by {DELAY=n}, reset when a call ends
  int32_t pendingDelayMs = 0;  // once, before the next key event; set by {DELAY n}
  FieldContext fields;         // set at the start of a sending, read by PlaceCaret at its end
};

// Why a key sequence stopped before its end.
enum class SendStop {
  None,          // carried out to the end
  GroupTooLong,  // a brace group longer than 299 code units
  InputRefused,  // the system took fewer input records than asked
  Cancelled,     // the user stopped it (KeyPlatform::Cancelled)
};

// The outcome of SendKeySequence; true when the whole sequence was carried out.
struct SendResult {
  SendStop stop = SendStop::None;
  // Stopped: where in the text the element begins that was not (wholly)
  // carried out; nothing from there on was sent.
  size_t stoppedAt = 0;
  explicit operator bool() const { return stop == SendStop::None; }
};

// Carries out the whole key sequence (NUL-terminated UTF-16). Stops at a
// brace group longer than 299 code units, at the first key event the
// system does not take, and once the platform says the sending was
// cancelled: nothing after it is typed, and keys it pressed with {KEY+} and
// did not release yet are released.
SendResult SendKeySequence(const char16_t* text, KeySendState& state, KeyPlatform& platform);

// SendKeySequence for an entry's content: each run of plain text longer than
// pasteAbove characters (0: none, see keys/PasteRuns.h) is pasted with
// Ctrl+V through the clipboard instead of typed; the groups around it are
// pressed in order. A run is typed after all when the clipboard cannot be had
// or the sequence holds a key down at that point.
SendResult SendContent(const char16_t* text, size_t pasteAbove, KeySendState& state, KeyPlatform& platform,
                       ClipboardPlatform& clipboard);

// The end of a sending whose text held {光标}: presses Left once per
// character typed after the mark (a line break counts one), and forgets the
// mark. True when there was nothing to press or all was pressed.
bool PlaceCaret(KeySendState& state, KeyPlatform& platform);

// Injection primitives. Each pausing primitive takes the pause rule first:
// the pending pause once, else the default one; a pause below 1 ms sleeps not
// at all. Codes outside 1..254 are no virtual keys: PressKey, KeyDown and
// KeyUp send nothing for them and take no pause; so does a count of 0.
// Each returns false when the system refused its records, or, sending
// nothing, when the sending was cancelled before or during its pause;
// PressKey then stops repeating. KeyUp sends even then: it releases keys.
bool PressKey(KeyPlatform& platform, uint16_t code, bool extended, uint16_t count, KeySendState& state);
bool KeyDown(KeyPlatform& platform, uint16_t code, bool extended, KeySendState& state);
bool KeyUp(KeyPlatform& platform, uint16_t code, bool extended);
bool TypeChar(KeyPlatform& platform, char16_t unit, KeySendState& state);
// Takes the pending pause now, if there is one, so that the key event after
// it takes none; false when the sending was cancelled.
bool TakePendingPause(KeyPlatform& platform, KeySendState& state);

}  // namespace kwo::keys
