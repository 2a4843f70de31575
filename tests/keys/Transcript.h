#pragma once
// Renders what a RecordingKeyPlatform saw as one line of short tokens, so a
// test can state a whole key sequence's effect at once:
//   'a' / U+4E2D  a Unicode pair (flags 4 then 6, wVk 0, same wScan)
//   P13 / P46x    a press-and-release pair of a virtual key (x: extended)
//   D16 / U16     a single press or release record
//   S50           a pause of 50 ms;  B800,200  a beep;  A[TITLE]  an activation
//   < / >         a sending begins / ends;  G  an unused hotkey given back
//   ?             a SendEvents call of any other shape
// Key records must carry the recorder's scan code of their key, or they show as "?".
#include <cstdio>
#include <string>

#include "keys/RecordingKeyPlatform.h"
#include "text/Utf.h"

namespace kwo::keys::testing {

inline std::string KeyToken(const char* kind, const KeyEvent& e) {
  return kind + std::to_string(e.vk) + ((e.flags & kExtendedKey) ? "x" : "");
}

inline std::string SendToken(const KeyEvent* e, size_t count) {
  const auto scanOk = [](const KeyEvent& k) { return k.scan == RecordingKeyPlatform::FakeScanCode(k.vk); };
  if (count == 2 && e[0].vk == 0 && e[1].vk == 0 && e[0].scan == e[1].scan && e[0].flags == kUnicode &&
      e[1].flags == (kUnicode | kKeyUp)) {
    if (e[0].scan > 0x20 && e[0].scan < 0x7F) return std::string("'") + char(e[0].scan) + "'";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", unsigned(e[0].scan));
    return buffer;
  }
  if (count == 2 && e[0].vk != 0 && e[0].vk == e[1].vk && scanOk(e[0]) && scanOk(e[1]) &&
      (e[0].flags & ~kExtendedKey) == 0 && e[1].flags == (e[0].flags | kKeyUp)) {
    return KeyToken("P", e[0]);
  }
  if (count == 1 && e[0].vk != 0 && scanOk(e[0]) && (e[0].flags & ~(kExtendedKey | kKeyUp)) == 0) {
    return KeyToken((e[0].flags & kKeyUp) ? "U" : "D", e[0]);
  }
  return "?";
}

inline std::string Transcript(const RecordingKeyPlatform& platform) {
  std::string out;
  for (const auto& action : platform.actions()) {
    if (!out.empty()) out += ' ';
    switch (action.kind) {
      case RecordingKeyPlatform::Kind::Send:
        out += SendToken(platform.events().data() + action.first, action.count);
        break;
      case RecordingKeyPlatform::Kind::Sleep:
        out += "S" + std::to_string(action.value);
        break;
      case RecordingKeyPlatform::Kind::Beep:
        out += "B" + std::to_string(action.value) + "," + std::to_string(action.duration);
        break;
      case RecordingKeyPlatform::Kind::Activate:
        out += "A[" + text::Utf16ToUtf8(action.title) + "]";
        break;
      case RecordingKeyPlatform::Kind::BeginSending:
        out += "<";
        break;
      case RecordingKeyPlatform::Kind::EndSending:
        out += ">";
        break;
      case RecordingKeyPlatform::Kind::GiveBack:
        out += "G";
        break;
    }
  }
  return out;
}

}  // namespace kwo::keys::testing
