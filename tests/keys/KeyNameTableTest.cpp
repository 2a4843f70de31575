#include "keys/KeyNameTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace kwo::keys {
namespace {

TEST(KeyNameTable, HasAllRowsInAscendingCodeUnitOrder) {
  ASSERT_EQ(kKeyNameTable.size(), 73u);
  EXPECT_EQ(kKeyNameTable.front().name, u"ADD");
  EXPECT_EQ(kKeyNameTable.back().name, u"WIN");
  size_t longest = 0;
  for (size_t i = 0; i < kKeyNameTable.size(); ++i) {
    const auto name = kKeyNameTable[i].name;
    if (i > 0) {
      EXPECT_LT(kKeyNameTable[i - 1].name, name) << "row " << i;
    }
    for (char16_t unit : name) {
      EXPECT_TRUE((unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9')) << "row " << i;
    }
    longest = std::max(longest, name.size());
  }
  EXPECT_EQ(longest, kLongestKeyName);
}

TEST(KeyNameTable, KeepsTheCodesAsListed) {
  const auto code = [](std::u16string_view name) {
    for (const auto& row : kKeyNameTable)
      if (row.name == name) return int(row.code);
    return -1;
  };
  EXPECT_EQ(code(u"PRTSC"), 42);
  EXPECT_EQ(code(u"SNAPSHOT"), 44);
  EXPECT_EQ(code(u"WIN"), 91);
  EXPECT_EQ(code(u"LWIN"), 91);
  EXPECT_EQ(code(u"RWIN"), 92);
  EXPECT_EQ(code(u"BREAK"), 3);
  EXPECT_EQ(code(u"HELP"), 47);
  EXPECT_EQ(code(u"ALT"), 18);
  EXPECT_EQ(code(u"RALT"), 165);
  EXPECT_EQ(code(u"BS"), 8);
  EXPECT_EQ(code(u"RETURN"), 13);
  EXPECT_EQ(code(u"F16"), 127);
  EXPECT_EQ(code(u"F9"), 120);
  EXPECT_EQ(code(u"NUMPAD9"), 105);
  EXPECT_EQ(code(u"SEPARATOR"), 108);
  EXPECT_EQ(code(u"PGDN"), 34);
  EXPECT_EQ(code(u"PGUP"), 33);
  // F1..F16 are consecutive codes, whatever their sorted position.
  for (int n = 1; n <= 16; ++n) {
    const std::string name = "F" + std::to_string(n);
    EXPECT_EQ(code(std::u16string(name.begin(), name.end())), 111 + n) << name;
  }
}

TEST(KeyNameTable, MarksOnlyTheNavigationAndEditingKeysExtended) {
  std::set<std::u16string> extended;
  for (const auto& row : kKeyNameTable) {
    EXPECT_LE(row.extended, 1);
    if (row.extended) extended.emplace(row.name);
  }
  const std::set<std::u16string> expected = {u"DEL",  u"DELETE", u"DOWN", u"END",   u"HOME", u"INS",
                                             u"LEFT", u"PGDN",   u"PGUP", u"RIGHT", u"UP"};
  EXPECT_EQ(extended, expected);
}

TEST(FindLongestKeyName, TakesTheLongestNameThatBeginsTheText) {
  const auto found = [](std::u16string_view text) -> std::u16string {
    const KeyName* row = FindLongestKeyName(text);
    return row ? std::u16string(row->name) : u"-";
  };
  EXPECT_EQ(found(u"DEL"), u"DEL");
  EXPECT_EQ(found(u"DELETE"), u"DELETE");
  EXPECT_EQ(found(u"DELET"), u"DEL");
  EXPECT_EQ(found(u"F1"), u"F1");
  EXPECT_EQ(found(u"F12"), u"F12");
  EXPECT_EQ(found(u"F123"), u"F12");
  EXPECT_EQ(found(u"F17"), u"F1");
  EXPECT_EQ(found(u"NUMPAD12"), u"NUMPAD1");
  EXPECT_EQ(found(u"ESCAPE 2"), u"ESCAPE");
  EXPECT_EQ(found(u"TABLE"), u"TAB");
  EXPECT_EQ(found(u"BACKSPACEX"), u"BACKSPACE");
  EXPECT_EQ(found(u"WIN"), u"WIN");
  EXPECT_EQ(found(u"ADD"), u"ADD");
  EXPECT_EQ(found(u"B"), u"-");
  EXPECT_EQ(found(u"ENTE"), u"-");
  EXPECT_EQ(found(u" ENTER"), u"-");
  EXPECT_EQ(found(u"enter"), u"-");  // the table is upper case; callers upper-case first
  EXPECT_EQ(found(u""), u"-");
  // Every row finds itself.
  for (const auto& row : kKeyNameTable) EXPECT_EQ(found(row.name), row.name);
}

}  // namespace
}  // namespace kwo::keys
