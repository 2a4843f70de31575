#include "entries/EditState.h"

#include "entries/Escape.h"

namespace kwo::entries {

void EditState::Found(std::u16string_view content) {
  new_ = false;
  escape_ = LooksEscaped(content) ? EscapeState::Escaped : EscapeState::None;
}

void EditState::NotFound() {
  new_ = true;
  escape_ = EscapeState::None;
}

EditState::Action EditState::PressEscape(std::u16string_view content) {
  Action action;
  if (escape_ == EscapeState::Escaped) {
    action.refused = true;
    return action;
  }
  if (content.empty()) return action;
  Conversion converted = Escape(content);
  if (converted.count > 0) {
    action.replace = true;
    action.text = std::move(converted.text);
    escape_ = EscapeState::Escaped;
  }
  return action;
}

EditState::Action EditState::PressUnescape(std::u16string_view content) {
  Action action;
  if (escape_ == EscapeState::Unescaped) {
    action.refused = true;
    return action;
  }
  Conversion converted = Unescape(content);
  if (converted.count > 0) {
    action.replace = true;
    action.text = std::move(converted.text);
    escape_ = EscapeState::Unescaped;
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

}  // namespace kwo::entries
