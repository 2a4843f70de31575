#pragma once
// The target lock: the window that typed input is meant for, remembered when
// the main window comes up, and brought back and checked before anything is
// typed. Keys are typed only when that window is in front, its thread has the
// focus, it answers, it accepts synthetic input and no modifier is held;
// otherwise nothing is typed and the problem says why.
#include <cstdint>
#include <initializer_list>

#include "desktop/TargetPlatform.h"

namespace kwo::desktop {

struct Target {
  WindowId window = 0;
  uint32_t thread = 0;
};

enum class TargetProblem {
  None,        // ready for keys
  NoTarget,    // no window of another program was in front
  Gone,        // the window was closed
  Hung,        // the window's program does not answer
  Elevated,    // the window's program runs at a higher integrity level and drops synthetic input
  NotInFront,  // the window did not come back to the front in time
  KeysHeld,    // Ctrl, Alt, Shift or Win (or the Enter that started the sending) stayed held
};

// Bounds of the waits, in milliseconds.
struct LockTimes {
  uint32_t frontMs = 1000;      // until the target is in front with its focus
  uint32_t answerMs = 1000;     // for the target's thread to answer a message
  uint32_t keysMs = 2000;       // until the modifiers are released
  uint32_t pollMs = 5;          // between two looks
  uint32_t askAgainMs = 100;    // between two requests to come to the front
};

// Whether a process of the target's integrity drops the input of a process of
// ours: a higher level does. When the target's level cannot be read although
// ours can, and ours is below high, the target is taken to be elevated: a
// process of the same user at our level can always be opened for query.
bool InputIsRefused(const IntegrityProbe& target, const IntegrityProbe& own);

// The foreground window with its thread, if it belongs to another program.
Target CaptureForeground(TargetPlatform& platform);

// Whether the target can take keys at all: it exists, answers, and accepts
// synthetic input. Brings nothing to the front.
TargetProblem CheckTarget(TargetPlatform& platform, const Target& target, const LockTimes& times);

// CheckTarget, then asks for the target to come to the front and waits until
// a window of its thread is in front and that thread has the focus.
TargetProblem BringBack(TargetPlatform& platform, const Target& target, const LockTimes& times);

// Waits until a window of the target's thread is in front and that thread
// has the focus, asking for the target to come to the front again every
// askAgainMs (never when that is frontMs or more): NotInFront after frontMs,
// Gone once the window is closed. BringBack's wait, after its first request.
TargetProblem AwaitFront(TargetPlatform& platform, const Target& target, const LockTimes& times);

// Waits until none of the keys is down; false when one still is after limitMs.
bool WaitForKeysUp(TargetPlatform& platform, std::initializer_list<uint16_t> keys, uint32_t limitMs,
                   uint32_t pollMs);

// BringBack, then waits for Shift, Ctrl, Alt and Win to be released (they
// would turn typed letters into shortcuts): the whole lock before typing.
TargetProblem LockTarget(TargetPlatform& platform, const Target& target, const LockTimes& times);

}  // namespace kwo::desktop
