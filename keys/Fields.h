#pragma once
// Fields: brace groups whose text is made at the moment of sending. Each has
// a Chinese name and an ASCII alias, matched only as a whole word followed
// by a space or the end of the group ({DATEX} is no field):
//   {日期 …} {DATE …}   the date: yyyy-MM-dd, or a format, after offsets
//   {时间 …} {TIME …}   the time of day: HH:mm, or a format, after offsets
//   {农历 …} {LUNAR …}  the lunar month and day; 年 (YEAR) the year's name, 生肖 (ZODIAC) its animal
//   {剪贴板} {CLIPBOARD} the text on the clipboard
//   {光标} {CURSOR}      where the caret stands once everything is typed
//   {填写 …} {INPUT …}   a value the user fills in (types nothing yet)
// Offsets come first, each followed by a space or the end: +1 or -7 days,
// +1天, +2周, +1月 (the month's last day when the day does not exist), +1年,
// +3小时, +30分钟.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "keys/Calendar.h"

namespace kwo::keys {

enum class FieldKind { Date, Time, Lunar, Clipboard, Caret, FillIn };

struct Field {
  FieldKind kind = FieldKind::Date;
  std::u16string_view argument;  // after the name and its space, offsets included
};

// The field a group's text (between the braces, as written) names, if any.
std::optional<Field> MatchField(std::u16string_view group);

// What a date, time or lunar field types at `now`; problem, when not null,
// is set to what is wrong with the argument (empty when nothing is).
std::u16string FormatTimeField(const Field& field, const LocalDateTime& now, std::u16string* problem = nullptr);

// Formats a date and time by a pattern: yyyy yy M MM d dd H HH m mm s ss,
// dddd (星期二), ddd (周二); other characters stand as they are. The pattern
// 中文 alone writes the date in Chinese numerals (二〇二六年十二月八日), or
// for a time field the time (十四时五分).
std::u16string FormatDateTime(std::u16string_view pattern, const LocalDateTime& t, bool timeOfDay);

}  // namespace kwo::keys
