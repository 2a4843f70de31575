#include "desktop/TargetLock.h"

namespace kwo::desktop {
namespace {

constexpr uint32_t kHighIntegrity = 0x3000;

// A window of the target's thread is in front (the window itself, or a
// dialog it opened) and that thread has put the focus somewhere.
bool InFront(TargetPlatform& platform, const Target& target) {
  const WindowId front = platform.ForegroundWindow();
  return front != 0 && platform.WindowThread(front) == target.thread && platform.ThreadHasFocus(target.thread);
}

}  // namespace

bool InputIsRefused(const IntegrityProbe& target, const IntegrityProbe& own) {
  if (!own.known) return false;  // nothing to compare with: try, and let a short insert tell
  if (target.known) return target.level > own.level;
  return own.level < kHighIntegrity;
}

Target CaptureForeground(TargetPlatform& platform) {
  const WindowId window = platform.ForegroundWindow();
  if (window == 0 || !platform.CanBeTarget(window)) return {};
  const uint32_t thread = platform.WindowThread(window);
  if (thread == 0) return {};
  return {window, thread};
}

TargetProblem CheckTarget(TargetPlatform& platform, const Target& target, const LockTimes& times) {
  if (target.window == 0) return TargetProblem::NoTarget;
  if (!platform.WindowExists(target.window) || platform.WindowThread(target.window) != target.thread) {
    return TargetProblem::Gone;  // closed (a new window may since have the same handle)
  }
  if (!platform.WindowAnswers(target.window, times.answerMs)) return TargetProblem::Hung;
  if (InputIsRefused(platform.WindowIntegrity(target.window), platform.OwnIntegrity())) {
    return TargetProblem::Elevated;
  }
  return TargetProblem::None;
}

TargetProblem BringBack(TargetPlatform& platform, const Target& target, const LockTimes& times) {
  const TargetProblem problem = CheckTarget(platform, target, times);
  if (problem != TargetProblem::None) return problem;
  if (InFront(platform, target)) return TargetProblem::None;
  platform.RequestForeground(target.window);
  return AwaitFront(platform, target, times);
}

TargetProblem AwaitFront(TargetPlatform& platform, const Target& target, const LockTimes& times) {
  const uint64_t start = platform.NowMs();
  uint64_t asked = start;
  for (;;) {
    if (InFront(platform, target)) return TargetProblem::None;
    if (!platform.WindowExists(target.window)) return TargetProblem::Gone;
    const uint64_t now = platform.NowMs();
    if (now - start >= times.frontMs) return TargetProblem::NotInFront;
    // A request made while the system was still activating another window
    // can be overtaken; ask again now and then.
    if (now - asked >= times.askAgainMs) {
      platform.RequestForeground(target.window);
      asked = now;
    }
    platform.Wait(times.pollMs);
  }
}

bool WaitForKeysUp(TargetPlatform& platform, std::initializer_list<uint16_t> keys, uint32_t limitMs,
                   uint32_t pollMs) {
  const uint64_t start = platform.NowMs();
  for (;;) {
    bool held = false;
    for (uint16_t key : keys) held = held || platform.KeyIsDown(key);
    if (!held) return true;
    if (platform.NowMs() - start >= limitMs) return false;
    platform.Wait(pollMs);
  }
}

TargetProblem LockTarget(TargetPlatform& platform, const Target& target, const LockTimes& times) {
  const TargetProblem problem = BringBack(platform, target, times);
  if (problem != TargetProblem::None) return problem;
  // Shift, Ctrl, Alt, left and right Win.
  if (!WaitForKeysUp(platform, {0x10, 0x11, 0x12, 0x5B, 0x5C}, times.keysMs, times.pollMs)) {
    return TargetProblem::KeysHeld;
  }
  // The modifiers may have been released late: the target must still be the one in front.
  if (!InFront(platform, target)) return BringBack(platform, target, times);
  return TargetProblem::None;
}

}  // namespace kwo::desktop
