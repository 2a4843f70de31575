#include <gtest/gtest.h>

#include "store/ShorthandTable.h"

namespace kwo::store {
namespace {

TEST(ShortKeyId, MatchesTheDocumentedExamples) {
  EXPECT_EQ(ShortKeyId(u"0"), 1u);
  EXPECT_EQ(ShortKeyId(u"9"), 10u);
  EXPECT_EQ(ShortKeyId(u"A"), 11u);
  EXPECT_EQ(ShortKeyId(u"Z"), 36u);
  EXPECT_EQ(ShortKeyId(u"10"), 75u);
  EXPECT_EQ(ShortKeyId(u"A0"), 408u);
  EXPECT_EQ(ShortKeyId(u"ABC"), 15516u);
  EXPECT_EQ(ShortKeyId(u"ZZZZZZ"), 2565726408u);
  EXPECT_EQ(ShortKeyId(u"TYTZAL"), 2147483648u);
}

TEST(ShortKeyId, EveryKeyLengthHasItsOwnRange) {
  const char16_t* lowest[] = {u"0", u"00", u"000", u"0000", u"00000", u"000000"};
  const char16_t* highest[] = {u"Z", u"ZZ", u"ZZZ", u"ZZZZ", u"ZZZZZ", u"ZZZZZZ"};
  const uint32_t low[] = {1, 38, 1407, 52060, 1926221, 71270178};
  const uint32_t high[] = {36, 1368, 50652, 1874160, 69343956, 2565726408u};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(ShortKeyId(lowest[i]), low[i]) << i;
    EXPECT_EQ(ShortKeyId(highest[i]), high[i]) << i;
  }
}

TEST(ShortKeyId, OtherCharactersEndTheScan) {
  EXPECT_EQ(ShortKeyId(u""), 0u);
  EXPECT_EQ(ShortKeyId(u"a"), 0u);
  EXPECT_EQ(ShortKeyId(u"-AB"), 0u);
  EXPECT_EQ(ShortKeyId(u"ABc"), ShortKeyId(u"AB"));
  EXPECT_EQ(ShortKeyId(u"AB CD"), ShortKeyId(u"AB"));
  EXPECT_EQ(ShortKeyId(u"A\u4e2d"), ShortKeyId(u"A"));
  EXPECT_EQ(ShortKeyId(u"\uff21"), 0u);  // a full-width capital is not a key character
}

TEST(ShortKeyId, WrapsModulo32BitsBeyondSixCharacters) {
  uint64_t expected = 0;
  for (int i = 0; i < 8; ++i) expected = (expected * 37 + 36) % 4294967296ull;
  EXPECT_EQ(ShortKeyId(u"ZZZZZZZZ"), static_cast<uint32_t>(expected));
}

TEST(IdText, WritesUnsignedDecimal) {
  EXPECT_EQ(IdText(0), u"0");
  EXPECT_EQ(IdText(408), u"408");
  EXPECT_EQ(IdText(2147483648u), u"2147483648");
  EXPECT_EQ(IdText(4294967295u), u"4294967295");
}

TEST(IsShortKey, AcceptsOneToSixDigitsAndCapitals) {
  EXPECT_TRUE(IsShortKey(u"A"));
  EXPECT_TRUE(IsShortKey(u"ZZZZZZ"));
  EXPECT_TRUE(IsShortKey(u"09AZ"));
  EXPECT_FALSE(IsShortKey(u""));
  EXPECT_FALSE(IsShortKey(u"ZZZZZZZ"));
  EXPECT_FALSE(IsShortKey(u"Ab"));
  EXPECT_FALSE(IsShortKey(u"A\""));
}

}  // namespace
}  // namespace kwo::store
