#pragma once
// Typing into the window the user works in: the window in front is
// remembered when the main window comes up; Enter hides the main window,
// brings that window back, waits until it has the focus and no modifier is
// held, and only then types. What cannot arrive is not typed, and the user is
// told why.
//
// The sender works through the three seams (keys, clipboard, desktop), which
// its owner hands it: the Windows platforms in the program, the recording
// twins in the tests.
#include <cstddef>
#include <string>

#include "desktop/TargetLock.h"
#include "desktop/TargetPlatform.h"
#include "keys/ClipboardPlatform.h"
#include "keys/KeyPlatform.h"
#include "keys/KeySend.h"

namespace kwo::app {

struct SendOutcome {
  enum class Result {
    Typed,     // everything was typed
    NotSent,   // nothing was typed
    Stopped,   // typing began and stopped part-way
    Skipped,   // timed sending: nothing typed, nothing to tell
  };
  Result result = Result::Typed;
  std::wstring notice;  // what the user is told; empty for Typed and Skipped
};

// The texts typed for one entry, in this order after the leading pause.
struct EntryTexts {
  std::u16string prefix;  // empty: none
  std::u16string content;
  std::u16string suffix;  // empty: none
};

class CEntrySender {
 public:
  // The platforms outlive the sender.
  CEntrySender(keys::KeyPlatform& keyPlatform, keys::ClipboardPlatform& clipboardPlatform,
               desktop::TargetPlatform& targetPlatform)
      : keyPlatform(keyPlatform), clipboardPlatform(clipboardPlatform), targetPlatform(targetPlatform) {}
  CEntrySender(const CEntrySender&) = delete;
  CEntrySender& operator=(const CEntrySender&) = delete;

  // The window in front becomes the target of the next sending. When it is
  // a window of this program or the taskbar, the target is none, or stays
  // as it was with keepWhenNone.
  void RememberTarget(bool keepWhenNone);

  // Moves the hidden dialog to where the user looks: on the target's monitor,
  // below its text caret or centred on it; without a target it stays where
  // it was, inside a work area.
  void PlaceNearTarget(desktop::WindowId dialog);

  // Enter in the main window: waits for the Enter key to be released, hides
  // the dialog, locks the target and types "{DELAY 50}", prefix, content,
  // suffix; runs of plain text in the content longer than pasteAbove
  // characters are pasted. Without a remembered target the window the system activates
  // after the hiding is taken.
  SendOutcome SendEntry(desktop::WindowId dialog, const EntryTexts& texts);

  // The timed sequence, into the window in front; skipped while no window
  // of another program is in front, a modifier stays held, or a sending runs.
  // Esc or the hotkey during either sending cancels the rest of it.
  SendOutcome SendTimed(const std::u16string& sequence);

  // How notices name the hotkey that calls the main window up.
  std::wstring hotKeyText = L"Win + 空格";
  // [Options] PasteAbove: longer plain runs of a content are pasted; 0: never.
  size_t pasteAbove = 0;
  // Bounds of the waits for the target and for released keys.
  desktop::LockTimes times;

 private:
  // Types the pieces in order; the one that is `content` may be pasted in part.
  SendOutcome Type(const std::u16string* const* pieces, size_t count, bool timed,
                   const std::u16string* content = nullptr);

  // The keys that went out wait in the queue of the window in front until its
  // thread takes them: a notice must not come to the front before.
  void LetTargetTakeItsKeys();

  keys::KeySendState sendState;
  keys::KeyPlatform& keyPlatform;
  keys::ClipboardPlatform& clipboardPlatform;
  desktop::TargetPlatform& targetPlatform;
  desktop::Target target;
};

// The notice for a target that could not take the keys.
std::wstring NotSentText(desktop::TargetProblem problem, bool timed, const std::wstring& hotKeyText = L"Win + 空格");
// The notice for a sequence that stopped part-way; notSent: what was not
// sent, as written in the entry (named when the user cancelled).
std::wstring StoppedText(keys::SendStop stop, bool timed, const std::u16string& notSent = {});

}  // namespace kwo::app
