#include "keys/TrialKeyPlatform.h"

#include "keys/KeyNameTable.h"
#include "text/Chars.h"

namespace kwo::keys {
namespace {

// Virtual-key codes (winuser.h), spelt out so that this file builds anywhere.
constexpr uint16_t kBack = 0x08, kTab = 0x09, kReturn = 0x0D, kSpace = 0x20;
constexpr uint16_t kShift = 0x10, kControl = 0x11, kMenu = 0x12, kLeftWin = 0x5B, kRightWin = 0x5C;
constexpr uint16_t kLeftShift = 0xA0, kRightShift = 0xA1, kLeftControl = 0xA2, kRightControl = 0xA3,
                   kLeftMenu = 0xA4, kRightMenu = 0xA5;

// The longest name the key-name table has for the key (DELETE rather than DEL).
std::u16string KeyLabel(uint16_t vk) {
  std::u16string_view best;
  for (const KeyName& key : kKeyNameTable) {
    if (key.code == vk && key.name.size() > best.size()) best = key.name;
  }
  if (!best.empty()) return std::u16string(best);
  if ((vk >= u'0' && vk <= u'9') || (vk >= u'A' && vk <= u'Z')) return std::u16string(1, static_cast<char16_t>(vk));
  return u"键 " + text::FormatDecimal(vk);
}

}  // namespace

bool TrialKeyPlatform::SendEvents(const KeyEvent* events, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const KeyEvent& event = events[i];
    const bool down = (event.flags & kKeyUp) == 0;
    if ((event.flags & kUnicode) != 0) {
      if (down) text_ += static_cast<char16_t>(event.scan);
      continue;
    }
    switch (event.vk) {
      case kShift: case kLeftShift: case kRightShift: shift_ = down; continue;
      case kControl: case kLeftControl: case kRightControl: control_ = down; continue;
      case kMenu: case kLeftMenu: case kRightMenu: alt_ = down; continue;
      case kLeftWin: case kRightWin: windows_ = down; continue;
      default: break;
    }
    if (down) KeyPressed(event.vk);
  }
  return true;
}

void TrialKeyPlatform::KeyPressed(uint16_t vk) {
  if (control_ || alt_ || windows_) {
    std::u16string chord;
    if (windows_) chord += u"WIN+";
    if (control_) chord += u"CTRL+";
    if (alt_) chord += u"ALT+";
    if (shift_) chord += u"SHIFT+";
    text_ += u"〔" + chord + KeyLabel(vk) + u"〕";
    return;
  }
  if (vk == kReturn) {
    text_ += u"\r\n";
  } else if (vk == kTab) {
    text_ += u'\t';
  } else if (vk == kSpace) {
    text_ += u' ';
  } else if (vk == kBack) {
    // Takes back the last character typed; a mark stands for no character.
    const size_t n = text_.size();
    if (n == 0 || text_.back() == u'〕') {
      text_ += u"〔BACKSPACE〕";
    } else if (n >= 2 && ((text_[n - 2] == u'\r' && text_[n - 1] == u'\n') ||
                          (text_[n - 1] >= 0xDC00 && text_[n - 1] <= 0xDFFF))) {
      text_.resize(n - 2);
    } else {
      text_.resize(n - 1);
    }
  } else if (vk >= u'A' && vk <= u'Z') {
    text_ += static_cast<char16_t>(shift_ ? vk : vk + 0x20);
  } else if (vk >= u'0' && vk <= u'9' && !shift_) {
    text_ += static_cast<char16_t>(vk);
  } else {
    text_ += u"〔" + std::u16string(shift_ ? u"SHIFT+" : u"") + KeyLabel(vk) + u"〕";
  }
}

bool TrialKeyPlatform::ActivateWindow(std::u16string_view title) {
  text_ += u"〔切换到 " + std::u16string(title) + u"〕";
  return true;
}

}  // namespace kwo::keys
