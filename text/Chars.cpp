#include "text/Chars.h"

#include <limits>

namespace kwo::text {

bool IsSpace(char16_t u) {
  if (u == 0x20 || (u >= 0x09 && u <= 0x0D)) return true;
  if (u < 0x85) return false;
  return u == 0x85 || u == 0xA0 || u == 0x1680 || (u >= 0x2000 && u <= 0x200A) || u == 0x2028 ||
         u == 0x2029 || u == 0x202F || u == 0x205F || u == 0x3000;
}

char16_t UpperUnit(char16_t u) {
  if (u >= u'a' && u <= u'z') return static_cast<char16_t>(u - 0x20);
  if (u < 0xE0) return u == 0xB5 ? char16_t(0x39C) : u;
  if (u <= 0xFE) return u == 0xF7 ? u : static_cast<char16_t>(u - 0x20);          // Latin-1
  if (u == 0xFF) return 0x178;
  if (u >= 0x100 && u <= 0x17F) {                                                   // Latin Extended-A
    if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) return (u & 1) ? u : char16_t(u - 1);
    if (u == 0x131 || u == 0x138 || u == 0x149 || u == 0x17F) return u;
    return (u & 1) ? char16_t(u - 1) : u;
  }
  if (u >= 0x3B1 && u <= 0x3CB && u != 0x3C2) return static_cast<char16_t>(u - 0x20);  // Greek
  if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 0x20);            // Cyrillic
  if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 0x50);
  if (u >= 0xFF41 && u <= 0xFF5A) return static_cast<char16_t>(u - 0x20);          // full-width Latin
  return u;
}

char16_t LowerUnit(char16_t u) {
  if (u >= u'A' && u <= u'Z') return static_cast<char16_t>(u + 0x20);
  if (u < 0xC0) return u;
  if (u <= 0xDE) return u == 0xD7 ? u : static_cast<char16_t>(u + 0x20);
  if (u == 0x178) return 0xFF;
  if (u >= 0x100 && u <= 0x17F) {
    if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) return (u & 1) ? char16_t(u + 1) : u;
    if (u == 0x130 || u == 0x138 || u == 0x149 || u == 0x17F) return u;
    return (u & 1) ? u : char16_t(u + 1);
  }
  if (u >= 0x391 && u <= 0x3AB && u != 0x3A2) return static_cast<char16_t>(u + 0x20);
  if (u >= 0x410 && u <= 0x42F) return static_cast<char16_t>(u + 0x20);
  if (u >= 0x400 && u <= 0x40F) return static_cast<char16_t>(u + 0x50);
  if (u >= 0xFF21 && u <= 0xFF3A) return static_cast<char16_t>(u + 0x20);
  return u;
}

char16_t FoldUnit(char16_t u) {
  if (u < 0x370 || (u >= 0xFF21 && u <= 0xFF3A)) return LowerUnit(u);
  auto pairs = [u](char16_t first, char16_t last) {  // upper case on the even units, lower on the odd
    return u >= first && u <= last && (u & 1) == 0;
  };
  if (u == 0x386) return 0x3AC;                                             // Greek with tonos
  if (u >= 0x388 && u <= 0x38A) return static_cast<char16_t>(u + 0x25);
  if (u == 0x38C) return 0x3CC;
  if (u == 0x38E || u == 0x38F) return static_cast<char16_t>(u + 0x3F);
  if (u == 0x3C2) return 0x3C3;
  if (u < 0x460) return LowerUnit(u);
  if (pairs(0x460, 0x481) || pairs(0x48A, 0x4BF) || pairs(0x4D0, 0x52F)) return static_cast<char16_t>(u + 1);
  if (u == 0x4C0) return 0x4CF;
  if (u >= 0x4C1 && u <= 0x4CE && (u & 1) != 0) return static_cast<char16_t>(u + 1);
  if (u >= 0x531 && u <= 0x556) return static_cast<char16_t>(u + 0x30);  // Armenian
  if (pairs(0x1E00, 0x1E95) || pairs(0x1EA0, 0x1EFF)) return static_cast<char16_t>(u + 1);  // Latin Extended Additional
  return u;
}

std::u16string Fold(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& u : out) u = FoldUnit(u);
  return out;
}

std::u16string Upper(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& u : out) u = UpperUnit(u);
  return out;
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = LowerUnit(a[i]);
    const char16_t y = LowerUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

std::u16string_view TrimTrailingSpace(std::u16string_view s) {
  size_t end = s.size();
  while (end > 0 && IsSpace(s[end - 1])) --end;
  return s.substr(0, end);
}

std::u16string_view TrimSpace(std::u16string_view s) {
  s = TrimTrailingSpace(s);
  size_t begin = 0;
  while (begin < s.size() && IsSpace(s[begin])) ++begin;
  return s.substr(begin);
}

int32_t ParseDecimal(std::u16string_view s, size_t* used) {
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
    negative = s[i] == u'-';
    ++i;
  }
  const size_t digitsStart = i;
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
    if (value <= kLimit) value = value * 10 + (s[i] - u'0');
    ++i;
  }
  if (i == digitsStart) {
    if (used) *used = 0;
    return 0;
  }
  if (used) *used = i;
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::u16string FormatDecimal(int64_t value) {
  const std::string narrow = std::to_string(value);
  return std::u16string(narrow.begin(), narrow.end());
}

}  // namespace kwo::text
