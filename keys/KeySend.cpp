// The key-sequence interpreter: reads the text from left to right and acts
// on each element at once through the primitives.
#include "keys/KeySend.h"

#include <cstddef>
#include <string_view>
#include <vector>

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

  SendStop Run(const char16_t* p) {
    while (*p != 0) {
      const char16_t unit = *p;
      if (unit == u'\\') {
        if (p[1] == 0) {
          Check(TypeChar(platform_, unit, state_));
          ++p;
        } else {
          Check(TypeChar(platform_, p[1], state_));
          p += 2;
        }
      } else if (unit == u'{') {
        const char16_t* end = p + 1;
        while (*end != 0 && *end != u'}') ++end;
        const size_t length = static_cast<size_t>(end - (p + 1));
        if (length >= kGroupBufferSize) return SendStop::GroupTooLong;
        RunGroup(p + 1, length);
        if (refused_) break;
        if (*end == 0) return SendStop::None;
        p = end + 1;
      } else if (unit == u'\n') {
        Check(PressKey(platform_, kEnterKey, false, 1, state_));
        ++p;
      } else if (unit == u'\r') {
        Check(PressKey(platform_, kEnterKey, false, 1, state_));
        p += (p[1] == u'\n') ? 2 : 1;
      } else if (unit < 0x20) {
        Check(PressKey(platform_, unit, false, 1, state_));
        ++p;
      } else {
        Check(TypeChar(platform_, unit, state_));
        ++p;
      }
      if (refused_) break;
    }
    if (!refused_) return SendStop::None;
    ReleaseHeldKeys();
    return SendStop::InputRefused;
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
    for (char16_t unit : text) {
      if (!Check(PressKey(platform_, unit, false, 1, state_))) return;
    }
  }

  bool RunKeyword(std::u16string_view text) {
    constexpr std::u16string_view kVkey = u"VKEY ";
    constexpr std::u16string_view kBeep = u"BEEP ";
    constexpr std::u16string_view kAppActivate = u"APPACTIVATE ";
    constexpr std::u16string_view kDelay = u"DELAY";
    if (StartsWith(text, kVkey)) {
      Check(PressKey(platform_, Low16(text::ParseDecimal(text.substr(kVkey.size()))), false, 1, state_));
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
        if (Check(KeyDown(platform_, key.code, extended, state_))) held_.push_back({key.code, extended});
        break;
      case GroupMode::ReleaseOnly:
        Check(KeyUp(platform_, key.code, extended));
        ForgetHeld(key.code);
        break;
      case GroupMode::PressAndRelease: {
        const uint16_t count = rest.empty() ? 1 : Low16(text::ParseDecimal(rest));
        Check(PressKey(platform_, key.code, extended, count, state_));
        break;
      }
    }
  }

  bool Check(bool taken) {
    if (!taken) refused_ = true;
    return taken;
  }

  void ForgetHeld(uint16_t code) {
    for (size_t i = held_.size(); i > 0; --i) {
      if (held_[i - 1].code == code) held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(i - 1));
    }
  }

  // A sequence that stops early must not leave its modifiers down: the
  // user's next keys would become shortcuts. Best effort, latest first.
  void ReleaseHeldKeys() {
    for (size_t i = held_.size(); i > 0; --i) KeyUp(platform_, held_[i - 1].code, held_[i - 1].extended);
    held_.clear();
  }

  struct HeldKey {
    uint16_t code;
    bool extended;
  };

  KeySendState& state_;
  KeyPlatform& platform_;
  char16_t group_[kGroupBufferSize];
  std::vector<HeldKey> held_;  // pressed by {KEY+} and not yet released
  bool refused_ = false;
};

}  // namespace

SendResult SendKeySequence(const char16_t* text, KeySendState& state, KeyPlatform& platform) {
  SendResult result;
  if (text != nullptr) {
    Interpreter interpreter(state, platform);
    result.stop = interpreter.Run(text);
  }
  state.defaultDelayMs = 0;
  return result;
}

}  // namespace kwo::keys
