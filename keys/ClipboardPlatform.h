#pragma once
// The seam between pasting and the system clipboard. The Windows
// implementation (WinClipboardPlatform) saves the user's clipboard in every
// format it can put back; tests use RecordingClipboardPlatform.
#include <string>
#include <string_view>

namespace kwo::keys {

class ClipboardPlatform {
 public:
  virtual ~ClipboardPlatform() = default;
  // Saves what the clipboard holds and puts `text` there as Unicode text.
  // False, with the clipboard untouched, when it cannot be opened (another
  // program holds it open), and while the text of an earlier paste has not
  // been taken: that paste still waits in the target and would bring in
  // whatever the clipboard holds when it is carried out.
  virtual bool PutText(std::u16string_view text) = 0;
  // The user's text on the clipboard: what it holds now, or, while a paste
  // of ours is there, what it held before. False, `text` untouched, when
  // there is no text or the clipboard cannot be opened.
  virtual bool ReadText(std::u16string& text) = 0;
  // Returns once the window in front has taken the text from the clipboard,
  // or after a bounded wait.
  virtual void WaitUntilTaken() = 0;
  // Puts back what PutText saved, unless another program has written to the
  // clipboard since. While the text has not been asked for, or the clipboard
  // is held open, that happens later, from the message loop.
  virtual void Restore() = 0;
};

}  // namespace kwo::keys
