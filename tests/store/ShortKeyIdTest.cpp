#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The id ranges that the prefix listing and the content search read: every
// key that begins with the given one falls into one of them, and no other key.
TEST(ShortKeyId, KeysBeginningWithAKeyFillItsRanges) {
  struct Case {
    const char16_t* key;
    std::vector<IdRange> ranges;
  };
  const Case cases[] = {
      {u"ZZZZZZ", {{2565726408, 2565726408}}},
      {u"ZZZZZ", {{69343956, 69343956}, {2565726372 + 1, 2565726372 + 36}}},
      {u"A", {{11, 11}, {11 * 37 + 1, 11 * 37 + 36}, {11 * 1369 + 38, 11 * 1369 + 1368},
              {11 * 50653 + 1407, 11 * 50653 + 50652}, {11 * 1874161LL + 52060, 11 * 1874161LL + 1874160},
              {11 * 69343957LL + 1926221, 11 * 69343957LL + 69343956}}},
      {u"10", {{75, 75}, {75 * 37 + 1, 75 * 37 + 36}, {75 * 1369 + 38, 75 * 1369 + 1368},
               {75 * 50653 + 1407, 75 * 50653 + 50652}, {75 * 1874161LL + 52060, 75 * 1874161LL + 1874160}}},
  };
  for (const Case& c : cases) {
    const std::vector<IdRange> ranges = KeyIdRanges(c.key);
    ASSERT_EQ(ranges.size(), c.ranges.size()) << std::string(c.key, c.key + std::char_traits<char16_t>::length(c.key));
    for (size_t i = 0; i < ranges.size(); ++i) {
      EXPECT_EQ(ranges[i].low, c.ranges[i].low) << i;
      EXPECT_EQ(ranges[i].high, c.ranges[i].high) << i;
    }
  }
  // Every longer key that begins with "A7" is in a range, each length in its own.
  const std::vector<IdRange> ranges = KeyIdRanges(u"A7");
  for (const char16_t* key : {u"A7", u"A70", u"A7Z", u"A7000", u"A7ZZZZ", u"A7K3Q"}) {
    const int64_t id = ShortKeyId(key);
    const size_t length = std::char_traits<char16_t>::length(key);
    EXPECT_TRUE(ranges[length - 2].low <= id && id <= ranges[length - 2].high) << length;
  }
  for (const char16_t* key : {u"A6ZZZZ", u"A8", u"A80000", u"B7"}) {
    const int64_t id = ShortKeyId(key);
    for (const IdRange& range : ranges) EXPECT_FALSE(range.low <= id && id <= range.high);
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
