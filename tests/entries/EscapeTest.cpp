#include <gtest/gtest.h>

#include <random>

#include "entries/Escape.h"

using kwo::entries::Escape;
using kwo::entries::LooksEscaped;
using kwo::entries::Unescape;

namespace {

void ExpectEscape(std::u16string_view in, std::u16string_view out, size_t count) {
  const auto r = Escape(in);
  EXPECT_EQ(r.text, out);
  EXPECT_EQ(r.count, count);
}
void ExpectUnescape(std::u16string_view in, std::u16string_view out, size_t count) {
  const auto r = Unescape(in);
  EXPECT_EQ(r.text, out);
  EXPECT_EQ(r.count, count);
}

}  // namespace

TEST(Escape, DoublesBackslashesAndEscapesOpeningBraces) {
  ExpectEscape(u"a\\b", u"a\\\\b", 1);
  ExpectEscape(u"{ENTER}", u"\\{ENTER}", 1);
  // The backslash put before the brace is not doubled again.
  ExpectEscape(u"\\{", u"\\\\\\{", 2);
  ExpectEscape(u"\\", u"\\\\", 1);
  ExpectEscape(u"\\\\", u"\\\\\\\\", 2);
  ExpectEscape(u"{{", u"\\{\\{", 2);
}

TEST(Escape, LeavesOtherTextAlone) {
  ExpectEscape(u"", u"", 0);
  ExpectEscape(u"}", u"}", 0);
  ExpectEscape(u"中文 #x}\r\n第二行", u"中文 #x}\r\n第二行", 0);
  ExpectUnescape(u"", u"", 0);
  ExpectUnescape(u"中文 {ENTER}\r\n", u"中文 {ENTER}\r\n", 0);
}

TEST(Unescape, DropsEveryEscapingBackslash) {
  ExpectUnescape(u"\\\\", u"\\", 1);
  ExpectUnescape(u"\\{", u"{", 1);
  ExpectUnescape(u"\\n", u"n", 1);
  ExpectUnescape(u"\\\\\\{", u"\\{", 2);
  // A trailing backslash goes without replacement.
  ExpectUnescape(u"\\", u"", 1);
  ExpectUnescape(u"ab\\", u"ab", 1);
  // A backslash before a line break is dropped and the break stays whole.
  ExpectUnescape(u"a\\\r\nb", u"a\r\nb", 1);
}

TEST(Unescape, IsNotTheInverseForOtherBackslashes) {
  EXPECT_EQ(Unescape(u"\\a").text, u"a");
  EXPECT_EQ(Escape(Unescape(u"\\a").text).text, u"a");
}

TEST(Escape, UnescapeRestoresEveryText) {
  const std::u16string samples[] = {u"", u"\\", u"{", u"}", u"\\{\\}{{\\\\", u"行一\\\r\n{TAB}行二\\", u"\r\n\\\r\n"};
  for (const auto& s : samples) EXPECT_EQ(Unescape(Escape(s).text).text, s);

  // Random texts over an alphabet rich in the special characters.
  const char16_t alphabet[] = {u'\\', u'{', u'}', u'a', u'#', u'\r', u'\n', u'中', 0xD83D, 0xDE00, 0};
  std::mt19937 random(12345);
  for (int round = 0; round < 2000; ++round) {
    std::u16string text(random() % 40, u' ');
    size_t backslashes = 0, braces = 0;
    for (auto& c : text) {
      c = alphabet[random() % (sizeof alphabet / sizeof alphabet[0])];
      backslashes += c == u'\\';
      braces += c == u'{';
    }
    const auto escaped = Escape(text);
    ASSERT_EQ(escaped.count, backslashes + braces);
    ASSERT_EQ(escaped.text.size(), text.size() + backslashes + braces);
    const auto back = Unescape(escaped.text);
    ASSERT_EQ(back.text, text);
    ASSERT_EQ(back.count, escaped.count);
  }
}

TEST(LooksEscaped, IsTrueForAnyBackslash) {
  EXPECT_FALSE(LooksEscaped(u""));
  EXPECT_FALSE(LooksEscaped(u"{ENTER}"));
  EXPECT_TRUE(LooksEscaped(u"\\"));
  EXPECT_TRUE(LooksEscaped(u"text \\ more"));
}
