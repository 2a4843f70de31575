#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Chars.h"
#include "text/CodePage.h"
#include "text/Utf.h"

using namespace kwo::text;

TEST(Utf, RoundTripsChineseAndSurrogatePairs) {
  const std::string utf8 = "ab\xE4\xB8\xAD\xF0\x9F\x98\x80";  // ab中😀
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  EXPECT_EQ(utf16, (std::u16string{u'a', u'b', 0x4E2D, 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  // The leading ASCII run is scanned four units at a time: the first other
  // unit (one with only its high byte set, or 0x80..0xFF) at every place.
  for (size_t run = 0; run < 9; ++run) {
    const std::u16string ascii(run, u'a');
    EXPECT_EQ(Utf16ToUtf8(ascii + u"\u0100z"), std::string(run, 'a') + "\xC4\x80z") << run;
    EXPECT_EQ(Utf16ToUtf8(ascii + u"\u00FFzz"), std::string(run, 'a') + "\xC3\xBFzz") << run;
    EXPECT_EQ(Utf16ToUtf8(ascii), std::string(run, 'a'));
  }
}

TEST(Utf, CodePointsKeepSurrogatePairsWhole) {
  struct Case {
    std::u16string text;
    std::vector<std::u16string> points;
  };
  const Case cases[] = {
      {u"", {}},
      {u"ab", {u"a", u"b"}},
      {u"中😀文", {u"中", u"😀", u"文"}},
      {u"😀😀", {u"😀", u"😀"}},
      {std::u16string(1, char16_t(0xD83D)) + u"a", {std::u16string(1, char16_t(0xD83D)), u"a"}},  // a high one alone
      {u"a" + std::u16string(1, char16_t(0xDE00)), {u"a", std::u16string(1, char16_t(0xDE00))}},  // a low one alone
      {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, {std::u16string(1, char16_t(0xDE00)),
                                                            std::u16string(1, char16_t(0xD83D))}},  // the wrong way round
  };
  for (const Case& c : cases) {
    const std::vector<std::u16string_view> points = kwo::text::CodePointUnits(c.text);
    EXPECT_EQ(std::vector<std::u16string>(points.begin(), points.end()), c.points) << kwo::text::Utf16ToUtf8(c.text);
    EXPECT_EQ(kwo::text::CodePointCount(c.text), c.points.size());
  }
}

TEST(Utf, ReplacesMalformedInput) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), (std::u16string{u'a', 0xFFFD, u'b'}));
  EXPECT_EQ(Utf8ToUtf16("\xE4\xB8"), (std::u16string{0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), (std::u16string{0xFFFD}));  // overlong NUL
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
  // Validity, which decides whether a file without a byte-order mark is UTF-8.
  EXPECT_TRUE(IsValidUtf8("ab\xE4\xB8\xAD\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"));
  for (const char* bad : {"\xE4\xB8", "\xC0\x80", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xD6\xD0"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
  EXPECT_FALSE(LooksLikeUtf8("plain ASCII"));
  EXPECT_TRUE(LooksLikeUtf8("\xE4\xB8\xAD"));
}

TEST(CodePage936, EncodesAndDecodesChinese) {
  std::string bytes;
  for (int pass = 0; pass < 2; ++pass) {  // the characters' forms found, then known
    EXPECT_TRUE(EncodeCp936(u"中文abc\u20AC\u00B7", bytes));
    EXPECT_EQ(bytes, "\xD6\xD0\xCE\xC4" "abc\x80\xA1\xA4");
  }
  EXPECT_TRUE(EncodeCp936(u"中文abc", bytes));
  EXPECT_EQ(bytes, "\xD6\xD0\xCE\xC4" "abc");
  std::u16string back;
  EXPECT_TRUE(DecodeCp936(bytes, back));
  EXPECT_EQ(back, u"中文abc");
}

TEST(CodePage936, TrailBytesThatLookLikeBackslashSurvive) {
  // U+9588 is 0xE9 0x5C in code page 936: its trail byte equals ASCII backslash.
  std::string bytes;
  ASSERT_TRUE(EncodeCp936(u"\u9588", bytes));
  EXPECT_EQ(bytes, "\xE9\x5C");
  std::u16string back;
  EXPECT_TRUE(DecodeCp936(bytes, back));
  EXPECT_EQ(back, u"\u9588");
}

TEST(CodePage936, MarksWhatItCannotHold) {
  std::string bytes;
  EXPECT_FALSE(EncodeCp936(u"a\U0001F600b", bytes));
  EXPECT_EQ(bytes, "a??b");  // one "?" per code unit of the surrogate pair
  EXPECT_FALSE(FitsCp936(u"\U0001F600"));
  EXPECT_TRUE(FitsCp936(u"疾书精灵 ABC"));
  std::u16string back;
  EXPECT_FALSE(DecodeCp936("a\x81", back));  // lead byte without trail byte
  EXPECT_EQ(back.substr(0, 1), u"a");
  // A byte that begins no character is one replacement character; the byte after it is read on its own.
  const std::pair<std::string, std::u16string> cases[] = {
      {"ab\x81\x20" "cd", u"ab\uFFFD cd"},
      {"\xD6\x20\xD0\xD0", u"\uFFFD 行"},
      {"\xD6\xD0\x81\x7F\xCE\xC4", u"中\uFFFD\x7F文"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_FALSE(DecodeCp936(bytes, back));
    EXPECT_EQ(back, text) << Utf16ToUtf8(back);
  }
}

TEST(CodePage936, MixedTextEncodesAsItsCharactersOneByOne) {
  const std::u16string a15(15, u'a'), a16(16, u'b'), a17(17, u'c');
  const std::u16string cases[] = {
      u"#k:\r\n" + a17 + u"中",  u"中" + a15 + u"文" + a16 + u"字" + a17,  a16 + u"\u9588" + a15,
      u"中" + a16,                u"a\U0001F600" + a16 + u"\U0001F600",    u"\u00E9\u00FF" + a17 + u"\u20AC",
      u"文" + a16 + u"\r\n\\#" + a15 + u"\xFF01中",
  };
  for (const std::u16string& text : cases) {
    std::string expected;
    bool expectedLossless = true;
    for (char16_t c : text) {
      std::string one;
      expectedLossless = EncodeCp936(std::u16string(1, c), one) && expectedLossless;
      expected += one;
    }
    std::string bytes;
    EXPECT_EQ(EncodeCp936(text, bytes), expectedLossless) << Utf16ToUtf8(text);
    EXPECT_EQ(bytes, expected) << Utf16ToUtf8(text);
  }
}

TEST(Chars, ParseDecimalFollowsWcstol) {
  size_t used = 0;
  EXPECT_EQ(ParseDecimal(u"  42x", &used), 42);
  EXPECT_EQ(used, 4u);
  EXPECT_EQ(ParseDecimal(u"-5"), -5);
  EXPECT_EQ(ParseDecimal(u"+7"), 7);
  EXPECT_EQ(ParseDecimal(u"x1", &used), 0);
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(ParseDecimal(u""), 0);
  EXPECT_EQ(ParseDecimal(u"99999999999"), 2147483647);
  EXPECT_EQ(ParseDecimal(u"-99999999999"), -2147483647 - 1);
  EXPECT_EQ(ParseDecimal(u"\u3000 12"), 12);
}

TEST(Chars, FoldingForFindingIgnoresCaseInEveryScript) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"ÉCOLE École", u"école école"}, {u"ＡＢＣａｂｃ", u"ａｂｃａｂｃ"}, {u"ΣΟΦΊΑ σοφίας", u"σοφία σοφίασ"},
      {u"МОСКВА ЁЖ Ѣ Ӂ", u"москва ёж ѣ ӂ"}, {u"ՀԱՅ", u"հայ"},           {u"ẠẸ Ỳ", u"ạẹ ỳ"},
      {u"中文 123 {\\}", u"中文 123 {\\}"},
  };
  for (const auto& [text, folded] : cases) EXPECT_EQ(Fold(text), folded) << kwo::text::Utf16ToUtf8(text);
}

TEST(Chars, UpperCasingAndComparison) {
  EXPECT_EQ(Upper(u"enter ａｂ 中 é"), u"ENTER ＡＢ 中 É");
  EXPECT_TRUE(EqualNoCase(u"Options", u"oPTIONS"));
  EXPECT_FALSE(EqualNoCase(u"Option", u"Options"));
  EXPECT_LT(CompareNoCase(u"a", u"B"), 0);
  EXPECT_EQ(TrimSpace(u" \t a b \r\n"), u"a b");
}
