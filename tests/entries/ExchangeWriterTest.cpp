#include <gtest/gtest.h>

#include <random>

#include "ExchangeTestUtil.h"
#include "entries/ExchangeWriter.h"
#include "text/Utf.h"

using kwo::entries::ExchangeWriter;
using kwo::entries::testing::Gbk;
using kwo::entries::testing::ReadAll;

namespace {
std::string Write(std::initializer_list<std::pair<std::u16string, std::u16string>> entries, bool* utf8 = nullptr) {
  ExchangeWriter writer;
  for (const auto& [key, content] : entries) writer.Add(key, content);
  return writer.Bytes(utf8);
}
}  // namespace

TEST(ExchangeWriter, WritesHeadersContentAndOneClosingLineBreak) {
  bool utf8 = true;
  EXPECT_EQ(Write({{u"AB", u"x\r\ny"}, {u"C", u""}, {u"D", u"end\r\n"}}, &utf8),
            "#AB:\r\nx\r\ny\r\n#C:\r\n\r\n#D:\r\nend\r\n\r\n");
  EXPECT_FALSE(utf8);
  EXPECT_EQ(Write({}), "");
}

TEST(ExchangeWriter, EveryLineBreakBecomesCrLf) {
  EXPECT_EQ(Write({{u"A", u"1\r2\n3\r\n4\n\r5"}}), "#A:\r\n1\r\n2\r\n3\r\n4\r\n\r\n5\r\n");
}

TEST(ExchangeWriter, HashAtLineStartGetsBackslash) {
  EXPECT_EQ(Write({{u"A", u"#1\r\n2#\r\n#3\r#4\n#"}}), "#A:\r\n\\#1\r\n2#\r\n\\#3\r\n\\#4\r\n\\#\r\n");
}

TEST(ExchangeWriter, CodePage936WhenEverythingFits) {
  bool utf8 = true;
  const std::string bytes = Write({{u"A", u"中文，标点；乗俓"}}, &utf8);
  EXPECT_FALSE(utf8);
  EXPECT_EQ(bytes, Gbk(u"#A:\r\n中文，标点；乗俓\r\n"));
}

TEST(ExchangeWriter, Utf8WithMarkWhenSomethingDoesNotFit) {
  for (const std::u16string odd : {u"\U0001F600", u"\u3400", u"\u0E01"}) {
    bool utf8 = false;
    const std::string bytes = Write({{u"A", u"中文"}, {u"B", u"x" + odd}}, &utf8);
    EXPECT_TRUE(utf8);
    EXPECT_EQ(bytes, "\xEF\xBB\xBF" + kwo::text::Utf16ToUtf8(u"#A:\r\n中文\r\n#B:\r\nx" + odd + u"\r\n"));
    EXPECT_EQ(bytes.find('?'), std::string::npos);
  }
}

TEST(ExchangeWriter, ReaderGetsBackWhatWasWritten) {
  // Contents with CR LF breaks only, as the store keeps them.
  const std::u16string pieces[] = {u"中", u"#", u"\\#", u"\\", u"{", u"}", u"\r\n", u"a", u" ", u":", u"\U0001F600"};
  const char16_t keyChars[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    ExchangeWriter writer;
    std::vector<std::pair<std::u16string, std::u16string>> expected;
    const int count = 1 + random() % 5;
    const bool withEmoji = random() % 2;
    for (int i = 0; i < count; ++i) {
      std::u16string key(1 + random() % 6, u'A');
      for (auto& c : key) c = keyChars[random() % 36];
      std::u16string content;
      const int n = random() % 12;
      for (int j = 0; j < n; ++j) content += pieces[random() % (withEmoji ? 11 : 10)];
      // A line that begins with "\#" is the one form the format cannot carry:
      // it comes back without the backslash.
      for (size_t at = 0; at < content.size(); at = content.find(u'\n', at) + 1) {
        if (content.compare(at, 2, u"\\#") == 0) content.erase(at, 1);
        if (content.find(u'\n', at) == std::u16string::npos) break;
      }
      writer.Add(key, content);
      expected.emplace_back(key, content);
    }
    const ReadAll r(writer.Bytes());
    ASSERT_FALSE(r.formatError) << kwo::text::Utf16ToUtf8(r.message);
    ASSERT_EQ(r.entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(r.entries[i].key, expected[i].first);
      ASSERT_EQ(r.entries[i].content, expected[i].second);
    }
  }
}
