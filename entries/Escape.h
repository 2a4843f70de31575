#pragma once
// Conversions between plain text and key-sequence text. In a key sequence only
// the backslash (which makes the next character literal) and the opening
// brace (which opens a key name or command) are special.
#include <cstddef>
#include <string>
#include <string_view>

namespace kwo::entries {

struct Conversion {
  std::u16string text;
  size_t count = 0;  // rewrites made; callers only ask whether it is above 0
};

// Doubles every backslash, then puts a backslash before every opening brace.
// The count is the backslashes doubled plus the braces escaped.
Conversion Escape(std::u16string_view text);
// Drops every escaping backslash and keeps the character after it, whatever it
// is; a backslash at the very end is dropped. The count is the backslashes dropped.
Conversion Unescape(std::u16string_view text);
// A content counts as escaped when it holds a backslash anywhere.
bool LooksEscaped(std::u16string_view text);

}  // namespace kwo::entries
