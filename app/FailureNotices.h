#pragma once
// What the user is told when a send stops early or the shell cannot open a
// link: every such failure ends in a message naming what failed.
#include <windows.h>

#include <string>
#include <vector>

namespace kwo::app {

// The parts of one send (prefix, content, suffix, timed sequence) that the
// sender did not carry out to their end; one notice for all of them.
class SendReport {
 public:
  // `sent` is the sender's result for the part called `part`.
  void Note(bool sent, const wchar_t* part) {
    if (!sent) stopped_.emplace_back(part);
  }
  bool Failed() const { return !stopped_.empty(); }
  std::wstring Text() const;
  // Shows the notice when a part stopped early.
  void TellIfFailed() const;

 private:
  std::vector<std::wstring> stopped_;
};

// Opens `target` with the shell. When that fails, a message box over `owner`
// names `what` (a help-menu link, the help file), the target and the reason
// as Windows gives it. False when it failed.
bool OpenOrTell(HWND owner, const std::wstring& target, const std::wstring& what);

}  // namespace kwo::app
