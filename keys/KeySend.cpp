// The key-sequence interpreter: reads the text from left to right and acts
// on each element at once through the primitives.
#include "keys/KeySend.h"

#include <string_view>

#include "keys/KeyNameTable.h"
#include "text/Chars.h"

namespace kwo::keys {
namespace {

constexpr size_t kGroupBufferSize = 300;  // terminator included
constexpr char16_t kEnterKey = 13;

enum class GroupMode { PressAndRelease, PressOnly, ReleaseOnly };

// Low 16 bits, as key codes and repeat counts use them.
uint16_t Low16(int32_t value) { return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu); }

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

class Interpreter {
 public:
  Interpreter(KeySendState& state, KeyPlatform& platform) : state_(state), platform_(platform) {}

  bool Run(const char16_t* p) {
    while (*p != 0) {
      const char16_t unit = *p;
      if (unit == u'\\') {
        if (p[1] == 0) {
          TypeChar(platform_, unit, state_);
          ++p;
        } else {
          TypeChar(platform_, p[1], state_);
          p += 2;
        }
      } else if (unit == u'{') {
        const char16_t* end = p + 1;
        while (*end != 0 && *end != u'}') ++end;
        const size_t length = static_cast<size_t>(end - (p + 1));
        if (length >= kGroupBufferSize) return false;
        RunGroup(p + 1, length);
        if (*end == 0) return true;
        p = end + 1;
      } else if (unit == u'\n') {
        PressKey(platform_, kEnterKey, false, 1, state_);
        ++p;
      } else if (unit == u'\r') {
        PressKey(platform_, kEnterKey, false, 1, state_);
        p += (p[1] == u'\n') ? 2 : 1;
      } else if (unit < 0x20) {
        PressKey(platform_, unit, false, 1, state_);
        ++p;
      } else {
        TypeChar(platform_, unit, state_);
        ++p;
      }
    }
    return true;
  }

 private:
  void RunGroup(const char16_t* source, size_t length) {
    GroupMode mode = GroupMode::PressAndRelease;
    if (length >= 2 && source[length - 1] == u'+') {
      mode = GroupMode::PressOnly;
      --length;
    } else if (length >= 2 && source[length - 1] == u'-') {
      mode = GroupMode::ReleaseOnly;
      --length;
    }
    for (size_t i = 0; i < length; ++i) group_[i] = text::UpperUnit(source[i]);
    group_[length] = 0;
    const std::u16string_view text(group_, length);

    if (RunKeyword(text)) return;
    if (const KeyName* key = FindLongestKeyName(text)) {
      RunKey(*key, text.substr(key->name.size()), mode);
      return;
    }
    // No key name: every unit is pressed as the virtual key of that code.
    for (char16_t unit : text) PressKey(platform_, unit, false, 1, state_);
  }

  bool RunKeyword(std::u16string_view text) {
    constexpr std::u16string_view kVkey = u"VKEY ";
    constexpr std::u16string_view kBeep = u"BEEP ";
    constexpr std::u16string_view kAppActivate = u"APPACTIVATE ";
    constexpr std::u16string_view kDelay = u"DELAY";
    if (StartsWith(text, kVkey)) {
      PressKey(platform_, Low16(text::ParseDecimal(text.substr(kVkey.size()))), false, 1, state_);
    } else if (StartsWith(text, kBeep)) {
      RunBeep(text.substr(kBeep.size()));
    } else if (StartsWith(text, kAppActivate)) {
      platform_.ActivateWindow(text.substr(kAppActivate.size()));
    } else if (StartsWith(text, kDelay)) {
      const std::u16string_view rest = text.substr(kDelay.size());
      if (!rest.empty() && rest[0] == u'=') {
        state_.defaultDelayMs = text::ParseDecimal(rest.substr(1));
      } else {
        state_.pendingDelayMs = text::ParseDecimal(rest);
      }
    } else {
      return false;
    }
    return true;
  }

  void RunBeep(std::u16string_view rest) {
    const size_t space = rest.find(u' ');
    if (space == std::u16string_view::npos) return;
    const int32_t frequency = text::ParseDecimal(rest.substr(0, space));
    const int32_t duration = text::ParseDecimal(rest.substr(space + 1));
    // A negative duration would be an unsigned wait of weeks inside Beep.
    if (duration < 0) return;
    platform_.Beep(static_cast<uint32_t>(frequency), static_cast<uint32_t>(duration));
  }

  void RunKey(const KeyName& key, std::u16string_view rest, GroupMode mode) {
    const bool extended = key.extended != 0;
    switch (mode) {
      case GroupMode::PressOnly:
        KeyDown(platform_, key.code, extended, state_);
        break;
      case GroupMode::ReleaseOnly:
        KeyUp(platform_, key.code, extended);
        break;
      case GroupMode::PressAndRelease: {
        const uint16_t count = rest.empty() ? 1 : Low16(text::ParseDecimal(rest));
        PressKey(platform_, key.code, extended, count, state_);
        break;
      }
    }
  }

  KeySendState& state_;
  KeyPlatform& platform_;
  char16_t group_[kGroupBufferSize];
};

}  // namespace

bool SendKeySequence(const char16_t* text, KeySendState& state, KeyPlatform& platform) {
  Interpreter interpreter(state, platform);
  const bool complete = text == nullptr || interpreter.Run(text);
  state.defaultDelayMs = 0;
  return complete;
}

}  // namespace kwo::keys
