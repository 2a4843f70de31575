#pragma once
// Dates for the fields of a key sequence: the local time of a sending, day
// arithmetic on the Gregorian calendar, and the Chinese lunar calendar of
// 1900..2100 from a compact table.
#include <cstdint>
#include <string>

namespace kwo::keys {

// A local date and time of day, as the system clock gives it.
struct LocalDateTime {
  int year = 1970, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
  friend bool operator==(const LocalDateTime& a, const LocalDateTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second;
  }
};

// Days since 1970-01-01 of a Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
LocalDateTime CivilFromDays(int64_t days);
int DaysInMonth(int year, int month);
// 0 for Sunday .. 6 for Saturday.
int Weekday(int year, int month, int day);

// Shifts by days, by months or years (the day kept, or the month's last day
// when the month is shorter), and by minutes (the time of day carried over).
LocalDateTime AddDays(const LocalDateTime& t, int64_t days);
LocalDateTime AddMonths(const LocalDateTime& t, int64_t months);
LocalDateTime AddMinutes(const LocalDateTime& t, int64_t minutes);

struct LunarDate {
  int year = 0;  // the Gregorian year in which the lunar year begins
  int month = 0;  // 1..12
  bool leap = false;
  int day = 0;  // 1..30
};

// The lunar date of a Gregorian date from 1900-01-31 to the end of lunar
// year 2100; false outside.
bool ToLunar(int year, int month, int day, LunarDate& lunar);

// As calendars print them: 正月 … 冬月 腊月 (闰六月), 初一 … 廿九 三十,
// 丙午年 and 马.
std::u16string LunarMonthName(const LunarDate& lunar);
std::u16string LunarDayName(int day);
std::u16string LunarYearName(int lunarYear);
std::u16string ZodiacName(int lunarYear);

}  // namespace kwo::keys
