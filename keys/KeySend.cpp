// The key-sequence interpreter: reads the text from left to right and acts
// on each element at once through the primitives.
#include "keys/KeySend.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

#include "keys/CheckingPlatform.h"
#include "keys/ClipboardPlatform.h"
#include "keys/Fields.h"
#include "keys/KeyNameTable.h"
#include "keys/PasteRuns.h"
#include "keys/SequenceCheck.h"
#include "keys/SequenceScan.h"
#include "text/Chars.h"

namespace kwo::keys {
namespace {

constexpr size_t kGroupBufferSize = kLongestGroup + 1;  // terminator included
constexpr char16_t kEnterKey = 13;
constexpr char16_t kControlKey = 0x11;  // VK_CONTROL
constexpr char16_t kPasteKey = u'V';
constexpr char16_t kTabKey = 0x09;
constexpr char16_t kSpaceKey = 0x20;
constexpr char16_t kLeftKey = 0x25;  // VK_LEFT, an extended key
// The checker formats date fields at a fixed moment: it looks only at their arguments.
constexpr LocalDateTime kCheckedMoment{2026, 1, 1, 0, 0, 0};

bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Characters as the caret counts them: a surrogate pair is one.
size_t CountCharacters(std::u16string_view text) {
  size_t count = 0;
  for (char16_t unit : text) count += IsLowSurrogate(unit) ? 0 : 1;
  return count;
}

enum class GroupMode { PressAndRelease, PressOnly, ReleaseOnly };

// The user's clipboard goes back however a paste ends, an exception included.
class RestoreAtEnd {
 public:
  explicit RestoreAtEnd(ClipboardPlatform& clipboard) : clipboard_(clipboard) {}
  ~RestoreAtEnd() { clipboard_.Restore(); }
  RestoreAtEnd(const RestoreAtEnd&) = delete;
  RestoreAtEnd& operator=(const RestoreAtEnd&) = delete;

 private:
  ClipboardPlatform& clipboard_;
};

// Low 16 bits, as key codes and repeat counts use them.
uint16_t Low16(int32_t value) { return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu); }

// A group of one character presses the virtual key of its code. For
// letters, digits and the space bar that is the key of the character itself.
bool IsKeyOfItsCharacter(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9') || unit == u' ';
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

class Interpreter {
 public:
  // With a checker the interpreter runs in checking mode: `platform` is the checker.
  Interpreter(KeySendState& state, KeyPlatform& platform, CheckingPlatform* checker = nullptr)
      : state_(state), platform_(platform), checker_(checker) {}

  // Carries out the elements of `text` from `position` on. Keys pressed by
  // {KEY+} stay held from one call to the next, as within one call.
  SendStop Run(std::u16string_view text, size_t position = 0) {
    while (position < text.size() && !refused_) {
      stoppedAt_ = position;
      // Elements that press nothing (a beep, a window switch) end here too.
      if (!Check(!platform_.Cancelled())) break;
      const SequenceElement element = ScanElement(text, position);
      switch (element.kind) {
        case ElementKind::Unit:
          Check(TypeChar(platform_, element.unit, state_));
          if (!IsLowSurrogate(element.unit)) Typed(1);
          break;
        case ElementKind::Enter:
          Check(PressKey(platform_, kEnterKey, false, 1, state_));
          Typed(1);
          break;
        case ElementKind::Control:
          Check(PressKey(platform_, element.unit, false, 1, state_));
          Typed(1);
          break;
        case ElementKind::Group: {
          const size_t length = element.groupLength;
          if (checker_) {
            checker_->BeginGroup(position, text.substr(position, element.end - position));
            if (length > kLongestGroup) {
              checker_->Note(SequenceProblemKind::GroupTooLong);
            } else if (!element.terminated) {
              checker_->Note(SequenceProblemKind::UnterminatedGroup);
            }
          }
          if (length > kLongestGroup) {
            ReleaseHeldKeys();
            stoppedAt_ = position;
            return SendStop::GroupTooLong;
          }
          RunGroup(text.data() + position + 1, length);
          break;
        }
      }
      position = element.end;
    }
    if (!refused_) return SendStop::None;
    ReleaseHeldKeys();
    return Stop();
  }

  // Why the sending stopped once a key event was not sent.
  SendStop Stop() const { return platform_.Cancelled() ? SendStop::Cancelled : SendStop::InputRefused; }
  size_t stoppedAt() const { return stoppedAt_; }

  // Content sending: a field's text longer than pasteAbove characters is pasted too.
  void PasteFieldsAbove(size_t pasteAbove, ClipboardPlatform& clipboard) {
    pasteAbove_ = pasteAbove;
    pasteClipboard_ = &clipboard;
  }

  enum class PasteOutcome { Pasted, NotOnClipboard, Refused };

  // Ctrl+V with `text` on the clipboard, the user's clipboard saved before
  // and put back once the window has taken the paste. NotOnClipboard, with
  // nothing pressed, when the clipboard cannot be had or a key held by the
  // sequence would turn Ctrl+V into another shortcut.
  PasteOutcome Paste(std::u16string_view text, ClipboardPlatform& clipboard) {
    if (!held_.empty()) return PasteOutcome::NotOnClipboard;
    // A pause due before the Ctrl is waited out first: the user's clipboard
    // stays theirs meanwhile.
    if (!Check(TakePendingPause(platform_, state_))) return PasteOutcome::Refused;
    if (!clipboard.PutText(text)) return PasteOutcome::NotOnClipboard;
    const RestoreAtEnd restore(clipboard);
    bool pasted = false;
    if (Check(KeyDown(platform_, kControlKey, false, state_))) {
      held_.push_back({kControlKey, false});
      pasted = Check(PressKey(platform_, kPasteKey, false, 1, state_));
      if (pasted && Check(KeyUp(platform_, kControlKey, false))) ForgetHeld(kControlKey);
    }
    if (pasted) clipboard.WaitUntilTaken();
    if (refused_) ReleaseHeldKeys();
    if (refused_) return PasteOutcome::Refused;
    Typed(CountCharacters(text));
    return PasteOutcome::Pasted;
  }

 private:
  void RunGroup(const char16_t* source, size_t length) {
    if (RunField(std::u16string_view(source, length))) return;
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
    // No key name: every unit is pressed as the virtual key of that code. One
    // character is meant that way ({a}, {5}); more are a misspelt name ({ENTR}).
    if (checker_ && (text.size() > 1 || (text.size() == 1 && (text[0] < 1 || text[0] > 254)))) {
      checker_->Note(SequenceProblemKind::UnknownKeyName);
    } else if (checker_ && text.size() == 1 && !IsKeyOfItsCharacter(text[0])) {
      // {{} presses F12, {.} Delete: the key with the code, not the character.
      checker_->Note(SequenceProblemKind::CharacterAsKey);
    }
    if (text.size() == 1 && IsKeyOfItsCharacter(text[0])) Typed(1);
    for (char16_t unit : text) {
      if (!Check(PressKey(platform_, unit, false, 1, state_))) return;
    }
  }

  // A field group: true when `written` names one (it is then carried out).
  bool RunField(std::u16string_view written) {
    const std::optional<Field> field = MatchField(written);
    if (!field) return false;
    FieldContext& fields = state_.fields;
    switch (field->kind) {
      case FieldKind::Date:
      case FieldKind::Time:
      case FieldKind::Lunar: {
        if (!fields.now && !checker_) return true;
        std::u16string problem;
        const std::u16string text = FormatTimeField(*field, fields.now.value_or(kCheckedMoment), &problem);
        if (checker_ && !problem.empty()) checker_->Note(SequenceProblemKind::FieldArgument, problem);
        TypeText(text);
        break;
      }
      case FieldKind::Clipboard: {
        if (checker_) {
          if (!field->argument.empty()) checker_->Note(SequenceProblemKind::FieldArgument, u"{剪贴板}，括号内没有别的文字");
          return true;
        }
        if (!fields.clipboardText) {
          std::u16string text;
          fields.clipboardText = fields.clipboard && fields.clipboard->ReadText(text) ? text : std::u16string();
        }
        const std::u16string& text = *fields.clipboardText;
        if (pasteClipboard_ && pasteAbove_ > 0 && CountCharacters(text) > pasteAbove_) {
          const PasteOutcome outcome = Paste(text, *pasteClipboard_);
          if (outcome != PasteOutcome::NotOnClipboard) return true;
        }
        TypeText(text);
        break;
      }
      case FieldKind::Caret:
        if (checker_ && !field->argument.empty()) {
          checker_->Note(SequenceProblemKind::FieldArgument, u"{光标}，括号内没有别的文字");
        }
        if (fields.caretMarked) {
          if (checker_) checker_->Note(SequenceProblemKind::SecondCaretMark);
        } else {
          fields.caretMarked = true;
          fields.typedAfterCaret = 0;
        }
        break;
      case FieldKind::FillIn:
        if (checker_) checker_->Note(SequenceProblemKind::FillInNotReady);
        break;
    }
    return true;
  }

  // A field's text, typed as plain text: "{" and "\" as themselves, a line
  // end (CR LF, LF or CR) as Enter, a tab as Tab; other control codes are left out.
  void TypeText(std::u16string_view text) {
    for (size_t i = 0; i < text.size() && !refused_; ++i) {
      const char16_t unit = text[i];
      if (unit == u'\r' || unit == u'\n') {
        if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        Check(PressKey(platform_, kEnterKey, false, 1, state_));
      } else if (unit == u'\t') {
        Check(PressKey(platform_, kTabKey, false, 1, state_));
      } else if (unit < 0x20) {
        continue;
      } else {
        Check(TypeChar(platform_, unit, state_));
        if (IsLowSurrogate(unit)) continue;
      }
      Typed(1);
    }
  }

  // Characters typed after a {光标} mark, for the caret at the end.
  void Typed(size_t characters) {
    if (state_.fields.caretMarked) state_.fields.typedAfterCaret += characters;
  }

  bool RunKeyword(std::u16string_view text) {
    constexpr std::u16string_view kVkey = u"VKEY ";
    constexpr std::u16string_view kBeep = u"BEEP ";
    constexpr std::u16string_view kAppActivate = u"APPACTIVATE ";
    constexpr std::u16string_view kDelay = u"DELAY";
    if (StartsWith(text, kVkey)) {
      size_t used = 0;
      const uint16_t code = Low16(text::ParseDecimal(text.substr(kVkey.size()), &used));
      if (used == 0 || code < 1 || code > 254) NoteNumber(u"1～254 的键码");
      Check(PressKey(platform_, code, false, 1, state_));
    } else if (StartsWith(text, kBeep)) {
      RunBeep(text.substr(kBeep.size()));
    } else if (StartsWith(text, kAppActivate)) {
      const std::u16string_view title = text.substr(kAppActivate.size());
      if (checker_ && text::TrimSpace(title).empty()) checker_->Note(SequenceProblemKind::NoWindowTitle);
      platform_.ActivateWindow(title);
    } else if (StartsWith(text, kDelay)) {
      const std::u16string_view rest = text.substr(kDelay.size());
      const bool isDefault = !rest.empty() && rest[0] == u'=';
      const std::u16string_view number = isDefault ? rest.substr(1) : rest;
      size_t used = 0;
      const int32_t ms = text::ParseDecimal(number, &used);
      if (ms < 0 || (used == 0 && !text::TrimSpace(number).empty())) NoteNumber(u"不小于 0 的毫秒数");
      if (checker_ && ms > kLongestCheckedPauseMs) checker_->Note(SequenceProblemKind::PauseTooLong);
      (isDefault ? state_.defaultDelayMs : state_.pendingDelayMs) = ms;
    } else {
      return false;
    }
    return true;
  }

  void RunBeep(std::u16string_view rest) {
    const size_t space = rest.find(u' ');
    const std::u16string_view wanted = u"频率 37～32767 和不小于 0 的时长，如 {BEEP 800 200}";
    if (space == std::u16string_view::npos) {
      NoteNumber(wanted);
      return;
    }
    const int32_t frequency = text::ParseDecimal(rest.substr(0, space));
    const int32_t duration = text::ParseDecimal(rest.substr(space + 1));
    if (frequency < 37 || frequency > 32767 || duration < 0) NoteNumber(wanted);
    // A negative duration would be an unsigned wait of weeks inside Beep.
    if (duration < 0) return;
    platform_.Beep(static_cast<uint32_t>(frequency), static_cast<uint32_t>(duration));
  }

  void RunKey(const KeyName& key, std::u16string_view rest, GroupMode mode) {
    const bool extended = key.extended != 0;
    if (checker_ && !rest.empty()) {
      // A repeat count may follow the name; anything else makes a name that is not in the table.
      size_t used = 0;
      const int32_t count = text::ParseDecimal(rest, &used);
      if (used == 0 || mode != GroupMode::PressAndRelease) {
        checker_->Note(SequenceProblemKind::UnknownKeyName);
      } else if (count < 0 || count > 0xFFFF) {
        NoteNumber(u"0～65535 的次数");
      }
    }
    switch (mode) {
      case GroupMode::PressOnly:
        if (Check(KeyDown(platform_, key.code, extended, state_))) held_.push_back({key.code, extended});
        break;
      case GroupMode::ReleaseOnly:
        Check(KeyUp(platform_, key.code, extended));
        ForgetHeld(key.code);
        break;
      case GroupMode::PressAndRelease: {
        uint16_t count = rest.empty() ? 1 : Low16(text::ParseDecimal(rest));
        if (key.code == kEnterKey || key.code == kTabKey || key.code == kSpaceKey) Typed(count);
        // Every repeat leaves the key where the first one did: the checker
        // needs one, however many the group asks for.
        if (checker_ && count > 1) {
          // The pauses of the repeats it leaves out count all the same.
          if (state_.defaultDelayMs > 0) checker_->AddPause(static_cast<long long>(count - 1) * state_.defaultDelayMs);
          count = 1;
        }
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

  void NoteNumber(std::u16string_view wanted) {
    if (checker_) checker_->Note(SequenceProblemKind::NumberOutOfRange, std::u16string(wanted));
  }

  struct HeldKey {
    uint16_t code;
    bool extended;
  };

  KeySendState& state_;
  KeyPlatform& platform_;
  CheckingPlatform* checker_;
  char16_t group_[kGroupBufferSize];
  std::vector<HeldKey> held_;  // pressed by {KEY+} and not yet released
  size_t pasteAbove_ = 0;      // content sending: fields longer than this are pasted
  ClipboardPlatform* pasteClipboard_ = nullptr;
  bool refused_ = false;  // a key event was refused, or not sent because the sending was cancelled
  size_t stoppedAt_ = 0;   // the element being carried out
};

}  // namespace

SendResult SendKeySequence(const char16_t* text, KeySendState& state, KeyPlatform& platform) {
  SendResult result;
  if (text != nullptr) {
    Interpreter interpreter(state, platform);
    result.stop = interpreter.Run(text);
    result.stoppedAt = interpreter.stoppedAt();
  }
  state.defaultDelayMs = 0;
  return result;
}

SendResult SendContent(const char16_t* text, size_t pasteAbove, KeySendState& state, KeyPlatform& platform,
                       ClipboardPlatform& clipboard) {
  SendResult result;
  if (text != nullptr) {
    const std::u16string_view content(text);
    Interpreter interpreter(state, platform);
    interpreter.PasteFieldsAbove(pasteAbove, clipboard);
    for (const ContentPiece& piece : SplitPasteRuns(content, pasteAbove)) {
      const std::u16string_view source = content.substr(0, piece.end);
      if (piece.paste) {
        const auto outcome = interpreter.Paste(piece.text, clipboard);
        if (outcome == Interpreter::PasteOutcome::Refused) {
          result.stop = interpreter.Stop();
          result.stoppedAt = piece.begin;
          break;
        }
        if (outcome == Interpreter::PasteOutcome::Pasted) continue;
      }
      result.stop = interpreter.Run(source, piece.begin);
      result.stoppedAt = interpreter.stoppedAt();
      if (!result) break;
    }
  }
  state.defaultDelayMs = 0;
  return result;
}

bool PlaceCaret(KeySendState& state, KeyPlatform& platform) {
  size_t left = state.fields.caretMarked ? state.fields.typedAfterCaret : 0;
  state.fields.caretMarked = false;
  state.fields.typedAfterCaret = 0;
  while (left > 0) {
    const uint16_t count = static_cast<uint16_t>(std::min<size_t>(left, 0xFFFF));
    if (!PressKey(platform, kLeftKey, true, count, state)) return false;
    left -= count;
  }
  return true;
}

void RunChecking(std::u16string_view text, KeySendState& state, CheckingPlatform& checker) {
  Interpreter(state, checker, &checker).Run(text);
}

}  // namespace kwo::keys
