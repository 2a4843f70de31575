#pragma once
// The 100,000 entries that the exchange benchmark and the measured import and
// export under Wine both use: keys, contents, and a CSV field for the
// command-line tools they are measured against.
#include <string>

#include "text/Utf.h"

namespace kwo::bench {

constexpr int kExchangeEntries = 100000;

// Four characters from 0-9 and A-Z: 100,000 distinct keys.
inline std::u16string KeyOf(int n) {
  const char16_t digits[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::u16string key(4, u'0');
  for (int i = 3; i >= 0; --i, n /= 36) key[static_cast<size_t>(i)] = digits[n % 36];
  return key;
}

inline std::u16string ContentOf(int n) {
  std::u16string content = u"您好，这是第" + kwo::text::Ascii(std::to_string(n)) + u"条速记{ENTER}";
  if (n % 3 == 0) content += u"\r\n第二行 #" + kwo::text::Ascii(std::to_string(n * 7));
  return content;
}

inline std::string CsvField(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace kwo::bench
