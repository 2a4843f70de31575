#pragma once
// A copy of the user's clipboard, format by format in its order, that
// outlives the clipboard's own data: taken before a paste puts its text
// there, put back once the paste is over.
#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueResource.h"

namespace kwo::desktop {

// The text of a clipboard memory block in one of the text formats
// (CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT), up to its terminator; false for no text.
bool TextOfClipboardData(UINT format, HANDLE data, std::u16string& text);

// One format of clipboard data: a global memory block, or for the GDI
// formats a bitmap, palette or (enhanced) metafile.
struct ClipboardData {
  UINT format = 0;
  HANDLE data = nullptr;
  friend bool operator==(const ClipboardData& a, const ClipboardData& b) {
    return a.format == b.format && a.data == b.data;
  }
  friend bool operator!=(const ClipboardData& a, const ClipboardData& b) { return !(a == b); }
};
struct ClipboardDataTraits {
  using Handle = ClipboardData;
  static void Release(ClipboardData data);  // as the format needs
};
using OwnedClipboardData = UniqueResource<ClipboardDataTraits>;

class ClipboardSnapshot {
 public:
  // Copies what the clipboard (opened by the caller) holds: every format
  // whose data can outlive its owner, and of the formats the system makes
  // from one another only the first, which lets it make the others again.
  void Take();
  // Hands the copies to the clipboard (opened and emptied by the caller) and
  // forgets them.
  void PutBack();
  void Clear() { formats_.clear(); }
  // The text the copy holds (Unicode, else ANSI or OEM text converted);
  // false when it holds none.
  bool Text(std::u16string& text) const;

 private:
  std::vector<OwnedClipboardData> formats_;
};

}  // namespace kwo::desktop
