#include "text/Utf.h"

#include <cstdint>
#include <cstring>

namespace kwo::text {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}
}  // namespace

std::u16string Utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const unsigned char b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b & 0xE0) == 0xC0) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { len = 4; cp = b & 0x07; min = 0x10000; }
    int taken = 1;
    bool ok = len != 0;
    while (ok && taken < len) {
      if (i + taken >= in.size()) { ok = false; break; }
      const unsigned char c = static_cast<unsigned char>(in[i + taken]);
      if ((c & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (c & 0x3F);
      ++taken;
    }
    if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
    AppendUtf16(out, ok ? cp : kReplacement);
    i += taken;
  }
  return out;
}

bool IsValidUtf8(std::string_view in) {
  size_t i = 0;
  while (i < in.size()) {
    const unsigned char b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    // The second byte's range rules out overlong forms, surrogates and code points above U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    size_t len = 0;
    if (b >= 0xC2 && b <= 0xDF) len = 2;
    else if (b >= 0xE0 && b <= 0xEF) { len = 3; if (b == 0xE0) low = 0xA0; if (b == 0xED) high = 0x9F; }
    else if (b >= 0xF0 && b <= 0xF4) { len = 4; if (b == 0xF0) low = 0x90; if (b == 0xF4) high = 0x8F; }
    if (len == 0 || i + len > in.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      const unsigned char c = static_cast<unsigned char>(in[i + k]);
      if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size() * 3);
  // SQL text and most keys are ASCII throughout: the leading ASCII run,
  // found four units at a time, is copied unit for byte before the general
  // loop.
  constexpr uint64_t kAboveAscii = 0xFF80FF80FF80FF80u;
  size_t i = 0;
  for (uint64_t four = 0; in.size() - i >= 4; i += 4) {
    std::memcpy(&four, in.data() + i, sizeof four);
    if (four & kAboveAscii) break;
  }
  while (i < in.size() && in.data()[i] < 0x80) ++i;
  out.resize(i);
  char* const bytes = out.data();
  for (size_t j = 0; j < i; ++j) bytes[j] = static_cast<char>(in.data()[j]);
  for (; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string Ascii(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

namespace {
// The code units of the code point that begins at `at`: 2 for a surrogate pair, else 1.
size_t UnitsAt(std::u16string_view s, size_t at) {
  return s[at] >= 0xD800 && s[at] <= 0xDBFF && at + 1 < s.size() && s[at + 1] >= 0xDC00 && s[at + 1] <= 0xDFFF ? 2
                                                                                                                : 1;
}
}  // namespace

std::vector<std::u16string_view> CodePointUnits(std::u16string_view s) {
  std::vector<std::u16string_view> points;
  for (size_t i = 0; i < s.size(); i += points.back().size()) points.push_back(s.substr(i, UnitsAt(s, i)));
  return points;
}

size_t CodePointCount(std::u16string_view s) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); i += UnitsAt(s, i)) ++count;
  return count;
}

}  // namespace kwo::text
