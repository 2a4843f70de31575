#include "keys/Calendar.h"

#include <cstddef>

namespace kwo::keys {
namespace {

// One value per lunar year 1900..2100: bits 0..12 the months in order (1: 30
// days, 0: 29; a leap month follows its month), bits 13..16 the leap month
// (0: none), bits 17..22 the day of the Gregorian year (0: 1 January) on
// which the lunar year begins.
constexpr uint32_t kLunarYears[] = {
#include "keys/LunarTable.inc"
};
constexpr int kFirstLunarYear = 1900;
constexpr int kLunarYearCount = static_cast<int>(sizeof(kLunarYears) / sizeof(kLunarYears[0]));

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

int64_t LunarYearStart(int year) {
  return DaysFromCivil(year, 1, 1) + static_cast<int64_t>((kLunarYears[year - kFirstLunarYear] >> 17) & 0x3F);
}

}  // namespace

int64_t DaysFromCivil(int year, int month, int day) {
  // Howard Hinnant's days_from_civil.
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

LocalDateTime CivilFromDays(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  LocalDateTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leapYear = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leapYear ? 29 : kDays[(month - 1) % 12];
}

int Weekday(int year, int month, int day) {
  // 1970-01-01 was a Thursday.
  const int64_t n = DaysFromCivil(year, month, day) + 4;
  return static_cast<int>(n - FloorDiv(n, 7) * 7);
}

LocalDateTime AddDays(const LocalDateTime& t, int64_t days) {
  LocalDateTime shifted = CivilFromDays(DaysFromCivil(t.year, t.month, t.day) + days);
  shifted.hour = t.hour;
  shifted.minute = t.minute;
  shifted.second = t.second;
  return shifted;
}

LocalDateTime AddMonths(const LocalDateTime& t, int64_t months) {
  const int64_t index = static_cast<int64_t>(t.year) * 12 + (t.month - 1) + months;
  LocalDateTime shifted = t;
  shifted.year = static_cast<int>(FloorDiv(index, 12));
  shifted.month = static_cast<int>(index - FloorDiv(index, 12) * 12) + 1;
  const int last = DaysInMonth(shifted.year, shifted.month);
  if (shifted.day > last) shifted.day = last;
  return shifted;
}

LocalDateTime AddMinutes(const LocalDateTime& t, int64_t minutes) {
  const int64_t total = t.hour * 60 + t.minute + minutes;
  LocalDateTime shifted = AddDays(t, FloorDiv(total, 1440));
  const int64_t inDay = total - FloorDiv(total, 1440) * 1440;
  shifted.hour = static_cast<int>(inDay / 60);
  shifted.minute = static_cast<int>(inDay % 60);
  return shifted;
}

bool ToLunar(int year, int month, int day, LunarDate& lunar) {
  if (year < kFirstLunarYear || year >= kFirstLunarYear + kLunarYearCount + 1) return false;
  const int64_t days = DaysFromCivil(year, month, day);
  int lunarYear = year;
  if (lunarYear >= kFirstLunarYear + kLunarYearCount || days < LunarYearStart(lunarYear)) --lunarYear;
  if (lunarYear < kFirstLunarYear) return false;
  const uint32_t info = kLunarYears[lunarYear - kFirstLunarYear];
  const int leapMonth = static_cast<int>((info >> 13) & 0xF);
  const int monthCount = leapMonth != 0 ? 13 : 12;
  int64_t offset = days - LunarYearStart(lunarYear);
  for (int i = 0; i < monthCount; ++i) {
    const int length = (info >> i) & 1 ? 30 : 29;
    if (offset < length) {
      lunar.year = lunarYear;
      // Months before the leap month keep their number; the leap month
      // repeats the number of the month before it.
      if (leapMonth != 0 && i >= leapMonth) {
        lunar.month = i == leapMonth ? leapMonth : i;
        lunar.leap = i == leapMonth;
      } else {
        lunar.month = i + 1;
        lunar.leap = false;
      }
      lunar.day = static_cast<int>(offset) + 1;
      return true;
    }
    offset -= length;
  }
  return false;  // past the end of lunar year 2100
}

std::u16string LunarMonthName(const LunarDate& lunar) {
  static const char16_t* const kMonths[] = {u"正", u"二", u"三", u"四", u"五", u"六",
                                            u"七", u"八", u"九", u"十", u"冬", u"腊"};
  std::u16string name = lunar.leap ? u"闰" : u"";
  if (lunar.month >= 1 && lunar.month <= 12) name += kMonths[lunar.month - 1];
  return name + u"月";
}

std::u16string LunarDayName(int day) {
  static const char16_t kDigits[] = u"十一二三四五六七八九";
  if (day == 10) return u"初十";
  if (day == 20) return u"二十";
  if (day == 30) return u"三十";
  if (day < 1 || day > 30) return {};
  static const char16_t* const kTens[] = {u"初", u"十", u"廿"};
  return std::u16string(kTens[day / 10]) + kDigits[day % 10];
}

std::u16string LunarYearName(int lunarYear) {
  static const char16_t kStems[] = u"甲乙丙丁戊己庚辛壬癸";
  static const char16_t kBranches[] = u"子丑寅卯辰巳午未申酉戌亥";
  const int64_t n = static_cast<int64_t>(lunarYear) - 4;
  return std::u16string{kStems[n - FloorDiv(n, 10) * 10], kBranches[n - FloorDiv(n, 12) * 12], u'年'};
}

std::u16string ZodiacName(int lunarYear) {
  static const char16_t kAnimals[] = u"鼠牛虎兔龙蛇马羊猴鸡狗猪";
  const int64_t n = static_cast<int64_t>(lunarYear) - 4;
  return std::u16string(1, kAnimals[n - FloorDiv(n, 12) * 12]);
}

}  // namespace kwo::keys
