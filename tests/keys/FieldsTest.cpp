#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Transcript.h"
#include "keys/Calendar.h"
#include "keys/Fields.h"
#include "keys/KeyNameTable.h"
#include "keys/KeySend.h"
#include "keys/RecordingClipboardPlatform.h"
#include "keys/RecordingKeyPlatform.h"
#include "keys/SequenceCheck.h"
#include "keys/TrialKeyPlatform.h"
#include "text/Utf.h"

namespace kwo::keys {
namespace {

using testing::Transcript;

// Tuesday 2026-12-08, 14:05:09 local time.
constexpr LocalDateTime kTuesday{2026, 12, 8, 14, 5, 9};

// What a sequence types at `now`, as the scratch box of 试一试 shows it.
std::string TypedAt(const std::u16string& text, const LocalDateTime& now) {
  TrialKeyPlatform trial;
  KeySendState state;
  state.fields.now = now;
  EXPECT_TRUE(SendKeySequence(text.c_str(), state, trial)) << text::Utf16ToUtf8(text);
  return text::Utf16ToUtf8(trial.Text());
}

TEST(FieldNames, WholeWordsFollowedBySpaceOrEnd) {
  struct Case {
    std::u16string group;
    bool field;
    FieldKind kind;
    std::u16string argument;
  };
  const Case cases[] = {
      {u"日期", true, FieldKind::Date, u""},
      {u"日期 +1 yyyy", true, FieldKind::Date, u"+1 yyyy"},
      {u"DATE", true, FieldKind::Date, u""},
      {u"date HH", true, FieldKind::Date, u"HH"},
      {u"Time", true, FieldKind::Time, u""},
      {u"LUNAR 年", true, FieldKind::Lunar, u"年"},
      {u"剪贴板", true, FieldKind::Clipboard, u""},
      {u"CLIPBOARD", true, FieldKind::Clipboard, u""},
      {u"光标", true, FieldKind::Caret, u""},
      {u"cursor", true, FieldKind::Caret, u""},
      {u"填写 客户=张三", true, FieldKind::FillIn, u"客户=张三"},
      {u"INPUT 渠道:电话|邮件", true, FieldKind::FillIn, u"渠道:电话|邮件"},
      {u"DATEX", false, FieldKind::Date, u""},
      {u"DATE+", false, FieldKind::Date, u""},
      {u"TIMES", false, FieldKind::Date, u""},
      {u"日期X", false, FieldKind::Date, u""},
      {u" DATE", false, FieldKind::Date, u""},
      {u"CURSORS", false, FieldKind::Date, u""},
      {u"INPUTS 1", false, FieldKind::Date, u""},
  };
  for (const Case& c : cases) {
    const auto field = MatchField(c.group);
    ASSERT_EQ(field.has_value(), c.field) << text::Utf16ToUtf8(c.group);
    if (!field) continue;
    EXPECT_EQ(field->kind, c.kind) << text::Utf16ToUtf8(c.group);
    EXPECT_EQ(std::u16string(field->argument), c.argument) << text::Utf16ToUtf8(c.group);
  }
}

TEST(FieldNames, NoKeyNameIsAField) {
  for (const KeyName& key : kKeyNameTable) {
    EXPECT_FALSE(MatchField(key.name).has_value()) << text::Utf16ToUtf8(std::u16string(key.name));
    EXPECT_FALSE(MatchField(std::u16string(key.name) + u" 2").has_value());
  }
}

TEST(FieldNames, GroupsThatAreNoFieldPressKeysAsBefore) {
  RecordingKeyPlatform platform;
  KeySendState state;
  state.fields.now = kTuesday;
  ASSERT_TRUE(SendKeySequence(u"{DATEX}{DATE+}{TIMES}{DATE-}", state, platform));
  EXPECT_EQ(Transcript(platform), "P68 P65 P84 P69 P88 P68 P65 P84 P69 P84 P73 P77 P69 P83 P68 P65 P84 P69");
}

TEST(DateFields, FormatsOfTheDateAndTheTime) {
  const struct {
    std::u16string text;
    std::string typed;
  } cases[] = {
      {u"{日期}", "2026-12-08"},
      {u"{DATE}", "2026-12-08"},
      {u"{日期 yyyy年M月d日}", "2026年12月8日"},
      {u"{日期 dddd}", "星期二"},
      {u"{日期 ddd}", "周二"},
      {u"{日期 yy/MM/dd}", "26/12/08"},
      {u"{日期 中文}", "二〇二六年十二月八日"},
      {u"{日期 yyyy-MM-dd HH:mm:ss}", "2026-12-08 14:05:09"},
      {u"{时间}", "14:05"},
      {u"{TIME H时m分s秒}", "14时5分9秒"},
      {u"{时间 中文}", "十四时五分"},
      {u"今天是{日期 M月d日 dddd}。", "今天是12月8日 星期二。"},
      {u"{日期 +1}", "2026-12-09"},
      {u"{日期 -7 yyyy-MM-dd}", "2026-12-01"},
      {u"{日期 +30}", "2027-01-07"},
      {u"{日期 +2周}", "2026-12-22"},
      {u"{日期 +1月}", "2027-01-08"},
      {u"{日期 -12月 yyyy}", "2025"},
      {u"{日期 +1年 +1}", "2027-12-09"},
      {u"{时间 +10小时}", "00:05"},
      {u"{时间 -6分钟}", "13:59"},
      {u"{日期 +10小时}", "2026-12-09"},
  };
  for (const auto& c : cases) EXPECT_EQ(TypedAt(c.text, kTuesday), c.typed) << text::Utf16ToUtf8(c.text);
}

TEST(DateFields, MonthOffsetsStopAtTheMonthsLastDay) {
  EXPECT_EQ(TypedAt(u"{日期 +1月}", {2026, 1, 31, 9, 0, 0}), "2026-02-28");
  EXPECT_EQ(TypedAt(u"{日期 +1月}", {2024, 1, 31, 9, 0, 0}), "2024-02-29");
  EXPECT_EQ(TypedAt(u"{日期 -1月}", {2026, 3, 31, 9, 0, 0}), "2026-02-28");
  EXPECT_EQ(TypedAt(u"{日期 +1年}", {2024, 2, 29, 9, 0, 0}), "2025-02-28");
  EXPECT_EQ(TypedAt(u"{日期 +3月}", {2026, 11, 30, 9, 0, 0}), "2027-02-28");
  EXPECT_EQ(TypedAt(u"{日期 +1}", {2026, 12, 31, 9, 0, 0}), "2027-01-01");
  EXPECT_EQ(TypedAt(u"{日期 +1}", {2100, 2, 28, 9, 0, 0}), "2100-03-01");  // 2100 is no leap year
}

TEST(DateFields, NothingIsTypedWithoutTheMomentOfTheSending) {
  RecordingKeyPlatform platform;
  KeySendState state;
  ASSERT_TRUE(SendKeySequence(u"a{日期}{时间}{农历}b", state, platform));
  EXPECT_EQ(Transcript(platform), "'a' 'b'");
}

TEST(LunarFields, MonthDayYearAndAnimal) {
  const struct {
    std::u16string text;
    LocalDateTime now;
    std::string typed;
  } cases[] = {
      {u"{农历}", kTuesday, "十月三十"},
      {u"{农历}", {2026, 2, 17, 0, 0, 0}, "正月初一"},
      {u"{农历}", {2025, 7, 25, 0, 0, 0}, "闰六月初一"},
      {u"{农历}", {2026, 1, 1, 0, 0, 0}, "冬月十三"},
      {u"{农历}", {2026, 2, 16, 0, 0, 0}, "腊月廿九"},
      {u"{农历 +1}", {2026, 2, 16, 0, 0, 0}, "正月初一"},
      {u"{农历 年}", kTuesday, "丙午年"},
      {u"{农历 生肖}", kTuesday, "马"},
      {u"{LUNAR YEAR}{LUNAR ZODIAC}", {2026, 2, 16, 0, 0, 0}, "乙巳年蛇"},
      {u"{农历 +1 年}", {2026, 2, 16, 0, 0, 0}, "丙午年"},
      {u"{农历}", {2033, 12, 22, 0, 0, 0}, "闰冬月初一"},
      {u"{农历}", {1901, 1, 1, 0, 0, 0}, "冬月十一"},
      {u"{农历}", {2100, 12, 31, 0, 0, 0}, "腊月初一"},
      {u"{农历 -73000}", kTuesday, ""},  // before the table: nothing
  };
  for (const auto& c : cases) EXPECT_EQ(TypedAt(c.text, c.now), c.typed) << text::Utf16ToUtf8(c.text);
}

TEST(LunarFields, DayNames) {
  const char* const expected[] = {"初一", "初二", "初九", "初十", "十一", "十九", "二十", "廿一", "廿九", "三十"};
  const int days[] = {1, 2, 9, 10, 11, 19, 20, 21, 29, 30};
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(text::Utf16ToUtf8(LunarDayName(days[i])), expected[i]) << days[i];
}

// Every day of 1901-01-01 .. 2100-12-31 against a published table
// (tests/keys/data/lunar-months.txt, made by scripts/lunar/make-reference.js
// from another source than the calendar's own table): one line per lunar
// month, its first day, the lunar day of that date, the month (闰 for a
// leap month), the lunar year and its animal.
//
// The published table and the computation behind the calendar's own table
// disagree on two month starts. In both, a third and independent computation
// (the npm package date-chinese, from the positions of the sun and the moon)
// sides with ours: the new moons fall close to midnight Beijing time.
const struct {
  const char* published;
  const char* corrected;
} kPublishedTableCorrections[] = {
    {"1933-07-22", "1933-07-23"},  // 六月初一: 闰五月 has 30 days
    {"2097-08-08", "2097-08-07"},  // 七月初一: 六月 has 29 days
};

TEST(LunarCalendar, EveryDayOf1901To2100MatchesThePublishedTable) {
  std::ifstream file(KWO_KEYS_TEST_DATA "/lunar-months.txt");
  ASSERT_TRUE(file) << KWO_KEYS_TEST_DATA;
  struct MonthStart {
    int64_t days;
    int lunarDay;
    std::string month, year, animal;
  };
  std::vector<MonthStart> starts;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string date, month, year, animal;
    int lunarDay = 0;
    fields >> date >> lunarDay >> month >> year >> animal;
    for (const auto& correction : kPublishedTableCorrections) {
      if (date == correction.published) date = correction.corrected;
    }
    int y = 0, m = 0, d = 0;
    ASSERT_EQ(std::sscanf(date.c_str(), "%d-%d-%d", &y, &m, &d), 3) << line;
    starts.push_back({DaysFromCivil(y, m, d), lunarDay, month, year, animal});
  }
  ASSERT_GT(starts.size(), 2400u);
  const int64_t first = DaysFromCivil(1901, 1, 1);
  const int64_t last = DaysFromCivil(2100, 12, 31);
  ASSERT_EQ(starts.front().days, first);
  size_t current = 0;
  int64_t checked = 0;
  int mismatches = 0;
  for (int64_t day = first; day <= last; ++day) {
    while (current + 1 < starts.size() && starts[current + 1].days <= day) ++current;
    const MonthStart& start = starts[current];
    const LocalDateTime date = CivilFromDays(day);
    LunarDate lunar;
    ASSERT_TRUE(ToLunar(date.year, date.month, date.day, lunar)) << date.year << "-" << date.month << "-" << date.day;
    const std::string month = (lunar.leap ? std::string("闰") : std::string()) + std::to_string(lunar.month);
    const int expectedDay = start.lunarDay + static_cast<int>(day - start.days);
    const std::string year = std::to_string(lunar.year);
    if (month != start.month || lunar.day != expectedDay || year != start.year ||
        text::Utf16ToUtf8(ZodiacName(lunar.year)) != start.animal) {
      if (++mismatches <= 10) {
        ADD_FAILURE() << date.year << "-" << date.month << "-" << date.day << ": " << year << " " << month << "/"
                      << lunar.day << ", the table says " << start.year << " " << start.month << "/" << expectedDay;
      }
    }
    ++checked;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(checked, 73049);
}

struct CaretMark : ::testing::Test {
  RecordingKeyPlatform platform;
  KeySendState state;

  // Sends the pieces as one sending and ends it with PlaceCaret.
  std::string SendPieces(std::initializer_list<std::u16string> pieces) {
    platform.Clear();
    for (const std::u16string& piece : pieces) EXPECT_TRUE(SendKeySequence(piece.c_str(), state, platform));
    EXPECT_TRUE(PlaceCaret(state, platform));
    return Transcript(platform);
  }
};

TEST_F(CaretMark, LeftOncePerCharacterTypedAfterIt) {
  EXPECT_EQ(SendPieces({u"<b>{光标}</b>"}), "'<' 'b' '>' '<' '/' 'b' '>' P37x P37x P37x P37x");
  // The suffix counts; a line break is one; a surrogate pair is one character.
  EXPECT_EQ(SendPieces({u"[", u"a{CURSOR}\r\n\U0001F600", u"{ENTER}"}),
            "'[' 'a' P13 U+D83D U+DE00 P13 P37x P37x P37x");
  EXPECT_EQ(SendPieces({u"x{光标}{TAB 2}{a}"}), "'x' P9 P9 P65 P37x P37x P37x");
  // A mark at the end, or none: nothing to press.
  EXPECT_EQ(SendPieces({u"ab{光标}"}), "'a' 'b'");
  EXPECT_EQ(SendPieces({u"ab"}), "'a' 'b'");
  // A second mark is ignored: the first one counts.
  EXPECT_EQ(SendPieces({u"a{光标}b{光标}c"}), "'a' 'b' 'c' P37x P37x");
}

TEST_F(CaretMark, DateFieldsCountTheirCharacters) {
  state.fields.now = kTuesday;
  EXPECT_EQ(SendPieces({u"{光标}{日期 M月}"}), "'1' '2' U+6708 P37x P37x P37x");
}

TEST_F(CaretMark, PastedRunsCountTheirCharacters) {
  RecordingClipboardPlatform clipboard(platform);
  const std::u16string content = u"{光标}abcdef";
  ASSERT_TRUE(SendContent(content.c_str(), 3, state, platform, clipboard));
  platform.Clear();
  ASSERT_TRUE(PlaceCaret(state, platform));
  EXPECT_EQ(Transcript(platform), "P37x P37x P37x P37x P37x P37x");
}

struct ClipboardField : ::testing::Test {
  RecordingKeyPlatform platform;
  RecordingClipboardPlatform clipboard{platform};
  KeySendState state;

  std::string SendContentText(const std::u16string& content, size_t pasteAbove) {
    platform.Clear();
    clipboard.Clear();
    state.fields.clipboard = &clipboard;
    state.fields.clipboardText.reset();
    EXPECT_TRUE(SendContent(content.c_str(), pasteAbove, state, platform, clipboard));
    return Transcript(platform);
  }
};

TEST_F(ClipboardField, TypesTheUsersTextOnce) {
  clipboard.userText = u"x{\\\r\ny";
  EXPECT_EQ(SendContentText(u"<{剪贴板}>{CLIPBOARD}", 0), "'<' 'x' '{' '\\' P13 'y' '>' 'x' '{' '\\' P13 'y'");
  EXPECT_EQ(clipboard.reads, 1);
  EXPECT_TRUE(clipboard.calls().empty());  // the user's clipboard untouched
}

TEST_F(ClipboardField, NoTextTypesNothing) {
  clipboard.userText.reset();
  EXPECT_EQ(SendContentText(u"a{剪贴板}b", 0), "'a' 'b'");
  state.fields.clipboard = nullptr;
  platform.Clear();
  ASSERT_TRUE(SendKeySequence(u"a{剪贴板}b", state, platform));
  EXPECT_EQ(Transcript(platform), "'a' 'b'");
}

TEST_F(ClipboardField, LongTextIsPastedUnderThePasteRule) {
  clipboard.userText = u"剪贴板的文字";
  EXPECT_EQ(SendContentText(u"{剪贴板}", 5), "D17 P86 U17");
  ASSERT_EQ(clipboard.calls().size(), 3u);
  EXPECT_EQ(clipboard.calls()[0].text, u"剪贴板的文字");
  EXPECT_EQ(clipboard.calls()[2].kind, RecordingClipboardPlatform::Kind::Restore);
  // Not longer than the rule: typed. Held by another program: typed as well.
  EXPECT_EQ(SendContentText(u"{剪贴板}", 6), "U+526A U+8D34 U+677F U+7684 U+6587 U+5B57");
  clipboard.held = true;
  EXPECT_EQ(SendContentText(u"{剪贴板}", 5), "U+526A U+8D34 U+677F U+7684 U+6587 U+5B57");
}

TEST(FieldChecks, ProblemsOfFields) {
  const struct {
    std::u16string text;
    SequenceProblemKind kind;
  } cases[] = {
      {u"{日期}{时间 HH:mm}{农历 生肖}{剪贴板}{光标}{DATE +1月 yyyy}", SequenceProblemKind::None},
      {u"{日期 +1x}", SequenceProblemKind::FieldArgument},
      {u"{日期 +999999}", SequenceProblemKind::FieldArgument},
      {u"{农历 月}", SequenceProblemKind::FieldArgument},
      {u"{剪贴板 1}", SequenceProblemKind::FieldArgument},
      {u"{光标}a{光标}", SequenceProblemKind::SecondCaretMark},
      {u"{填写 客户}", SequenceProblemKind::FillInNotReady},
      {u"{DATEX}", SequenceProblemKind::UnknownKeyName},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckKeySequence(c.text).kind, c.kind) << text::Utf16ToUtf8(c.text);
  }
  const SequenceProblem second = CheckKeySequence(u"{光标}a{光标}");
  EXPECT_EQ(second.position, 5u);
  EXPECT_NE(DescribeSequenceProblem(second).find(u"第二个光标"), std::u16string::npos);
}

}  // namespace
}  // namespace kwo::keys
