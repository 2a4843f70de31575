#include "entries/EditState.h"

#include "entries/Escape.h"

namespace kwo::entries {

void EditState::Found(std::u16string_view content) {
  key_ = KeyState::Found;
  loaded_ = content;
  escape_ = LooksEscaped(content) ? EscapeState::Escaped : EscapeState::None;
}

void EditState::NotFound() {
  key_ = KeyState::New;
  loaded_.clear();
  escape_ = EscapeState::None;
}

void EditState::LookupFailed() {
  key_ = KeyState::Failed;
  loaded_.clear();
  escape_ = EscapeState::None;
}

EditState::SaveStep EditState::StepAfterLookup(bool retried) const {
  if (key_ == KeyState::Failed) return SaveStep::Refuse;
  if (retried && key_ == KeyState::Found) return SaveStep::ShowStored;
  return SaveStep::Save;
}

std::u16string LookupFailedText() {
  return u"查不到这个速记符：数据库不能访问，不知道它是否已有内容。按“确定”时会再查一次，查到之前不会保存。";
}

EditState::Action EditState::PressEscape(std::u16string_view content) {
  return Convert(content, EscapeState::Escaped, Escape);
}

EditState::Action EditState::PressUnescape(std::u16string_view content) {
  return Convert(content, EscapeState::Unescaped, Unescape);
}

// A second press of the button that made the state is refused; a conversion
// that rewrote nothing (an empty content included) changes nothing.
EditState::Action EditState::Convert(std::u16string_view content, EscapeState target,
                                     Conversion (*convert)(std::u16string_view)) {
  Action action;
  if (escape_ == target) {
    action.refused = true;
    return action;
  }
  Conversion converted = convert(content);
  if (converted.count > 0) {
    action.replace = true;
    action.text = std::move(converted.text);
    escape_ = target;
  }
  return action;
}

std::u16string StoredKey(std::u16string_view typed) {
  size_t n = 0;
  while (n < typed.size() && n < 6 &&
         ((typed[n] >= u'0' && typed[n] <= u'9') || (typed[n] >= u'A' && typed[n] <= u'Z')))
    ++n;
  return std::u16string(typed.substr(0, n));
}

std::u16string KeyProblemText(std::u16string_view typed) {
  if (typed.empty()) return u"请先输入速记符（1 到 6 个数字或大写字母）。";
  if (!StoredKey(typed).empty()) return {};
  return u"速记符“" + std::u16string(typed) + u"”里有不能用的字符。速记符只能由数字和大写字母组成，最多 6 个。";
}

}  // namespace kwo::entries
