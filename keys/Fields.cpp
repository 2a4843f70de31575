#include "keys/Fields.h"

#include <cstddef>

#include "text/Chars.h"

namespace kwo::keys {
namespace {

struct FieldName {
  std::u16string_view chinese;
  std::u16string_view ascii;
  FieldKind kind;
};

constexpr FieldName kFieldNames[] = {
    {u"日期", u"DATE", FieldKind::Date},           {u"时间", u"TIME", FieldKind::Time},
    {u"农历", u"LUNAR", FieldKind::Lunar},         {u"剪贴板", u"CLIPBOARD", FieldKind::Clipboard},
    {u"光标", u"CURSOR", FieldKind::Caret},        {u"填写", u"INPUT", FieldKind::FillIn},
};

// `name` begins the group as a whole word: the group ends there or a space follows.
bool NamesField(std::u16string_view group, std::u16string_view name, bool anyCase) {
  if (group.size() < name.size()) return false;
  const std::u16string_view head = group.substr(0, name.size());
  if (anyCase ? !text::EqualNoCase(head, name) : head != name) return false;
  return group.size() == name.size() || group[name.size()] == u' ';
}

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// Offsets within these bounds only: a date stays far inside what the
// arithmetic and the calendars hold.
constexpr int64_t kLargestOffset = 100000;

// Reads the offsets at the front of `argument`; the rest is the format.
struct Offsets {
  int64_t days = 0, months = 0, minutes = 0;
  bool valid = true;
};

Offsets ReadOffsets(std::u16string_view& argument) {
  Offsets offsets;
  while (argument.size() >= 2 && (argument[0] == u'+' || argument[0] == u'-') && IsDigit(argument[1])) {
    size_t end = argument.find(u' ');
    if (end == std::u16string_view::npos) end = argument.size();
    const std::u16string_view token = argument.substr(0, end);
    size_t i = 1;
    int64_t number = 0;
    while (i < token.size() && IsDigit(token[i])) {
      if (number <= kLargestOffset) number = number * 10 + (token[i] - u'0');
      ++i;
    }
    if (number > kLargestOffset) offsets.valid = false;
    if (token[0] == u'-') number = -number;
    const std::u16string_view unit = token.substr(i);
    if (unit.empty() || unit == u"天" || unit == u"日") {
      offsets.days += number;
    } else if (unit == u"周") {
      offsets.days += number * 7;
    } else if (unit == u"月") {
      offsets.months += number;
    } else if (unit == u"年") {
      offsets.months += number * 12;
    } else if (unit == u"小时") {
      offsets.minutes += number * 60;
    } else if (unit == u"分钟") {
      offsets.minutes += number;
    } else {
      offsets.valid = false;
    }
    argument.remove_prefix(end < argument.size() ? end + 1 : end);
  }
  if (offsets.days < -kLargestOffset || offsets.days > kLargestOffset || offsets.months < -kLargestOffset ||
      offsets.months > kLargestOffset) {
    offsets.valid = false;
  }
  if (!offsets.valid) offsets = Offsets{0, 0, 0, false};
  return offsets;
}

LocalDateTime Shift(const LocalDateTime& now, const Offsets& offsets) {
  return AddMinutes(AddDays(AddMonths(now, offsets.months), offsets.days), offsets.minutes);
}

std::u16string Padded(int value, size_t width) {
  std::u16string digits = text::FormatDecimal(value);
  while (digits.size() < width) digits.insert(digits.begin(), u'0');
  return digits;
}

// 一 … 九十九 as a count is spoken (十二, 二十, 三十一); 零 for 0.
std::u16string ChineseNumber(int value) {
  static const char16_t kDigits[] = u"零一二三四五六七八九";
  if (value < 10) return std::u16string(1, kDigits[value]);
  std::u16string spoken;
  if (value >= 20) spoken += kDigits[value / 10];
  spoken += u'十';
  if (value % 10 != 0) spoken += kDigits[value % 10];
  return spoken;
}

std::u16string ChineseDate(const LocalDateTime& t) {
  static const char16_t kDigits[] = u"〇一二三四五六七八九";
  std::u16string year;
  for (char16_t digit : text::FormatDecimal(t.year)) year += IsDigit(digit) ? kDigits[digit - u'0'] : digit;
  return year + u"年" + ChineseNumber(t.month) + u"月" + ChineseNumber(t.day) + u"日";
}

size_t RunLength(std::u16string_view pattern, size_t at) {
  size_t end = at;
  while (end < pattern.size() && pattern[end] == pattern[at]) ++end;
  return end - at;
}

}  // namespace

std::optional<Field> MatchField(std::u16string_view group) {
  for (const FieldName& name : kFieldNames) {
    for (const bool ascii : {false, true}) {
      const std::u16string_view spelt = ascii ? name.ascii : name.chinese;
      if (!NamesField(group, spelt, ascii)) continue;
      Field field;
      field.kind = name.kind;
      field.argument = group.substr(group.size() > spelt.size() ? spelt.size() + 1 : spelt.size());
      return field;
    }
  }
  return std::nullopt;
}

std::u16string FormatDateTime(std::u16string_view pattern, const LocalDateTime& t, bool timeOfDay) {
  if (pattern == u"中文") {
    if (!timeOfDay) return ChineseDate(t);
    return ChineseNumber(t.hour) + u"时" + ChineseNumber(t.minute) + u"分";
  }
  static const char16_t kWeekdays[] = u"日一二三四五六";
  std::u16string out;
  size_t i = 0;
  while (i < pattern.size()) {
    const char16_t unit = pattern[i];
    const size_t run = RunLength(pattern, i);
    size_t used = run;
    switch (unit) {
      case u'y':
        if (run >= 4) {
          out += Padded(t.year, 4);
          used = 4;
        } else if (run >= 2) {
          out += Padded(t.year % 100, 2);
          used = 2;
        } else {
          out += unit;
        }
        break;
      case u'M': out += Padded(t.month, run >= 2 ? 2 : 1); used = run >= 2 ? 2 : 1; break;
      case u'H': out += Padded(t.hour, run >= 2 ? 2 : 1); used = run >= 2 ? 2 : 1; break;
      case u'm': out += Padded(t.minute, run >= 2 ? 2 : 1); used = run >= 2 ? 2 : 1; break;
      case u's': out += Padded(t.second, run >= 2 ? 2 : 1); used = run >= 2 ? 2 : 1; break;
      case u'd':
        if (run >= 4) {
          out += u"星期";
          out += kWeekdays[Weekday(t.year, t.month, t.day)];
          used = 4;
        } else if (run == 3) {
          out += u"周";
          out += kWeekdays[Weekday(t.year, t.month, t.day)];
        } else {
          out += Padded(t.day, run);
        }
        break;
      default:
        out += unit;
        used = 1;
        break;
    }
    i += used;
  }
  return out;
}

std::u16string FormatTimeField(const Field& field, const LocalDateTime& now, std::u16string* problem) {
  std::u16string_view argument = field.argument;
  const Offsets offsets = ReadOffsets(argument);
  if (problem) problem->clear();
  if (!offsets.valid && problem) *problem = u"偏移，如 +1、-7、+1月、+2小时（不超过 100000）";
  const LocalDateTime t = Shift(now, offsets);
  switch (field.kind) {
    case FieldKind::Date:
      return FormatDateTime(argument.empty() ? u"yyyy-MM-dd" : argument, t, false);
    case FieldKind::Time:
      return FormatDateTime(argument.empty() ? u"HH:mm" : argument, t, true);
    case FieldKind::Lunar: {
      const bool year = argument == u"年" || text::EqualNoCase(argument, u"YEAR");
      const bool zodiac = argument == u"生肖" || text::EqualNoCase(argument, u"ZODIAC");
      if (!argument.empty() && !year && !zodiac && problem && problem->empty()) {
        *problem = u"农历后的 年、生肖 或偏移，如 {农历 年}、{农历 +1}";
      }
      LunarDate lunar;
      if (!ToLunar(t.year, t.month, t.day, lunar)) return {};
      if (year) return LunarYearName(lunar.year);
      if (zodiac) return ZodiacName(lunar.year);
      return LunarMonthName(lunar) + LunarDayName(lunar.day);
    }
    default:
      return {};
  }
}

}  // namespace kwo::keys
