#pragma once
// Turning fuzzer bytes into the text the targets take, and the text shapes
// their checks ask about.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/Utf.h"

namespace kwo::fuzz {

// The bytes as UTF-8 (malformed sequences become U+FFFD).
inline std::u16string Utf8Text(const uint8_t* data, size_t size) {
  return text::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
}

// The bytes as little-endian UTF-16 code units up to the first NUL unit; an
// odd last byte is dropped.
inline std::u16string Utf16Text(const uint8_t* data, size_t size) {
  std::u16string text;
  text.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

// Text without braces, backslashes or control units: the interpreter types
// it unit for unit.
inline bool IsPlainText(std::u16string_view text) {
  for (char16_t unit : text)
    if (unit == u'{' || unit == u'\\' || unit < 0x20) return false;
  return true;
}

}  // namespace kwo::fuzz
