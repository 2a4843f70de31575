#include "entries/Escape.h"

namespace kwo::entries {

namespace {
constexpr char16_t kBackslash = u'\\';
constexpr char16_t kOpenBrace = u'{';
}  // namespace

Conversion Escape(std::u16string_view text) {
  Conversion result;
  result.text.reserve(text.size());
  // One pass does both: the backslash put before a brace is not doubled,
  // exactly as if the braces were escaped after all backslashes were doubled.
  for (char16_t c : text) {
    if (c == kBackslash || c == kOpenBrace) {
      result.text.push_back(kBackslash);
      ++result.count;
    }
    result.text.push_back(c);
  }
  return result;
}

Conversion Unescape(std::u16string_view text) {
  Conversion result;
  result.text.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kBackslash) {
      ++result.count;
      if (++i == text.size()) break;
    }
    result.text.push_back(text[i]);
  }
  return result;
}

bool LooksEscaped(std::u16string_view text) { return text.find(kBackslash) != std::u16string_view::npos; }

}  // namespace kwo::entries
