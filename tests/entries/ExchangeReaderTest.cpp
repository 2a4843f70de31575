#include <gtest/gtest.h>

#include "ExchangeTestUtil.h"
#include "entries/ExchangeReader.h"

using kwo::entries::ExchangeEntry;
using kwo::entries::ExchangeReader;
using kwo::entries::testing::Gbk;
using kwo::entries::testing::ReadAll;

namespace {
const std::u16string kSuffix = u" 速记符处定义格式错误";

void ExpectEntry(const ExchangeEntry& e, std::u16string_view key, std::u16string_view content) {
  EXPECT_EQ(e.key, key);
  EXPECT_EQ(e.content, content);
}
}  // namespace

TEST(ExchangeReader, ReadsHeadersAndContentLines) {
  const ReadAll r(Gbk(u"#AB:\r\n你好\r\n第二行\r\n#C:\r\n\r\n#ZZZZZZ:\r\nz\r\n"));
  ASSERT_FALSE(r.formatError);
  ASSERT_EQ(r.entries.size(), 3u);
  ExpectEntry(r.entries[0], u"AB", u"你好\r\n第二行");
  ExpectEntry(r.entries[1], u"C", u"");
  ExpectEntry(r.entries[2], u"ZZZZZZ", u"z");
}

TEST(ExchangeReader, KeepsLineBreaksInsideAndDropsOnlyTheClosingOne) {
  const ReadAll r("#A:\r\nx\r\n\r\n#B:\r\n\r\n\r\n#C:\nbare\nlf\n");
  ASSERT_EQ(r.entries.size(), 3u);
  ExpectEntry(r.entries[0], u"A", u"x\r\n");
  ExpectEntry(r.entries[1], u"B", u"\r\n");
  ExpectEntry(r.entries[2], u"C", u"bare\r\nlf");
  // Lone CRs (old Mac files) are line ends too, as export writes a lone CR of a content.
  const ReadAll mac("#A:\rx\r\r#B\r{y}\r#C:\r");
  ASSERT_EQ(mac.entries.size(), 3u);
  ExpectEntry(mac.entries[0], u"A", u"x\r\n");
  ExpectEntry(mac.entries[1], u"B", u"\\{y}");
  ExpectEntry(mac.entries[2], u"C", u"");
}

TEST(ExchangeReader, HeaderRules) {
  // Lower case is read as upper case; text after the colon is ignored.
  ExpectEntry(ReadAll("#ab1:ignored\r\n{x}\r\n").entries.at(0), u"AB1", u"{x}");
  // Without colon the content is plain text and gets escaped.
  ExpectEntry(ReadAll("#K\r\n{ENTER}\\n\r\n").entries.at(0), u"K", u"\\{ENTER}\\\\n");
  // Six characters and a colon: key sequence.
  ExpectEntry(ReadAll("#ABCDEF:\r\n{x}\r\n").entries.at(0), u"ABCDEF", u"{x}");
  // Seven or more are cut to six and make a plain-text entry, whatever follows.
  ExpectEntry(ReadAll("#ABCDEFG:\r\n{x}\r\n").entries.at(0), u"ABCDEF", u"\\{x}");
  ExpectEntry(ReadAll("#ABCDEF x\r\n{x}\r\n").entries.at(0), u"ABCDEF", u"\\{x}");
  // An empty plain-text content stays empty.
  ExpectEntry(ReadAll("#P\r\n\r\n").entries.at(0), u"P", u"");
}

TEST(ExchangeReader, FormatErrorsNameTheHeaderAndStop) {
  {
    const ReadAll r("#A:\r\none\r\n#B C:\r\ntwo\r\n#D:\r\nthree\r\n");
    ASSERT_EQ(r.entries.size(), 1u);
    ExpectEntry(r.entries[0], u"A", u"one");
    EXPECT_TRUE(r.formatError);
    EXPECT_EQ(r.message, u"第 3 行：#B C:\n" + kSuffix);
  }
  // A space before the colon or at the line end, a Chinese character.
  EXPECT_EQ(ReadAll("#AB :\r\n").message, u"第 1 行：#AB :\n" + kSuffix);
  EXPECT_EQ(ReadAll("#AB \r\n").message, u"第 1 行：#AB \n" + kSuffix);
  EXPECT_EQ(ReadAll(Gbk(u"#A中:\r\n")).message, u"第 1 行：#A中:\n" + kSuffix);
  // An empty key names the empty text.
  EXPECT_EQ(ReadAll("#:\r\nx\r\n").message, u"第 1 行：" + kSuffix);
  EXPECT_EQ(ReadAll("#A:\r\nx\r\n#\r\ny\r\n").message, u"第 3 行：" + kSuffix);
  EXPECT_EQ(ReadAll("#A:\r\nx\r\n#\r\ny\r\n").entries.size(), 1u);
  // A file that does not begin with a header imports nothing.
  const ReadAll first(Gbk(u"说明\r\n#A:\r\nx\r\n"));
  EXPECT_TRUE(first.entries.empty());
  EXPECT_EQ(first.message, u"第 1 行：说明\n" + kSuffix);
  EXPECT_TRUE(ReadAll("\r\n#A:\r\nx\r\n").formatError);
  // A line of any length is named by its first 60 characters, line numbers counted over every line end.
  const ReadAll huge("#A:\rx\n\r\n#B-" + std::string(200000, 'b') + "\r\n");
  EXPECT_EQ(huge.message, u"第 4 行：#B-" + std::u16string(57, u'b') + u"…\n" + kSuffix);
  const std::u16string chinese(100, u'中');
  EXPECT_EQ(ReadAll(Gbk(chinese + u"\r\n")).message, u"第 1 行：" + chinese.substr(0, 60) + u"…\n" + kSuffix);
}

TEST(ExchangeReader, FileEnds) {
  EXPECT_TRUE(ReadAll("").entries.empty());
  EXPECT_FALSE(ReadAll("").formatError);
  // A lone header without line end starts no entry.
  EXPECT_TRUE(ReadAll("#A:").entries.empty());
  EXPECT_FALSE(ReadAll("#A:").formatError);
  // A header with line end at the very end gives an empty entry.
  const ReadAll lastHeader("#A:\r\nx\r\n#B:\r\n");
  ASSERT_EQ(lastHeader.entries.size(), 2u);
  ExpectEntry(lastHeader.entries[1], u"B", u"");
  // The last line without line end is content, "#" or not, and keeps a final CR + character.
  ExpectEntry(ReadAll("#A:\r\nx\r\n#B:").entries.at(0), u"A", u"x\r\n#B:");
  ExpectEntry(ReadAll("#A:\r\nx\ry").entries.at(0), u"A", u"x\r\ny");
  ExpectEntry(ReadAll("#A:\r\nlast").entries.at(0), u"A", u"last");
}

TEST(ExchangeReader, BackslashBeforeHashAtLineStartIsRemoved) {
  const ReadAll r("#A:\r\n\\#one\r\nx#two\r\n\\\\#three\r\n\\x\r\n");
  ExpectEntry(r.entries.at(0), u"A", u"#one\r\nx#two\r\n\\\\#three\r\n\\x");
}

TEST(ExchangeReader, ConvertsWholeLinesWhateverTheirLength) {
  // 3,000 two-byte characters: any cut into pieces of about 1 KB would split one.
  std::u16string longLine(3000, u'中');
  longLine[511] = u'x';  // shifts the double-byte grid by one byte
  // A "#" right where a 1,021-byte piece would end is not a header.
  std::u16string hashLine = std::u16string(1021, u'a') + u"#B:";
  const ReadAll r(Gbk(u"#A:\r\n" + longLine + u"\r\n" + hashLine + u"\r\nend\r\n"));
  ASSERT_EQ(r.entries.size(), 1u);
  ExpectEntry(r.entries[0], u"A", longLine + u"\r\n" + hashLine + u"\r\nend");
}

TEST(ExchangeReader, TrailBytesEqualToBackslashAreNotEscapes) {
  // Each of these characters ends with the byte 0x5C in code page 936.
  const std::u16string text = u"乗俓僜刓匼";
  ASSERT_NE(Gbk(text).find('\\'), std::string::npos);
  ExpectEntry(ReadAll(Gbk(u"#A\r\n" + text + u"\r\n")).entries.at(0), u"A", text);
  ExpectEntry(ReadAll(Gbk(u"#B:\r\n" + text + u"\r\n")).entries.at(0), u"B", text);
}

TEST(ExchangeReader, ChoosesUtf8OrCodePage936) {
  const ReadAll utf8("\xEF\xBB\xBF#E:\r\n\xF0\x9F\x98\x80 \xE4\xB8\xAD\r\n");
  ExpectEntry(utf8.entries.at(0), u"E", u"\U0001F600 中");
  // Without the mark: UTF-8 throughout with some non-ASCII text is UTF-8 ...
  const std::string text = "中文内容测试";
  ExpectEntry(ReadAll("#E:\r\n" + text + "\r\n").entries.at(0), u"E", u"中文内容测试");
  // ... and one byte that UTF-8 does not allow makes the whole file code page 936.
  const ReadAll gbk(Gbk(u"#E:\r\n中文\r\n") + "#F:\r\n" + text + "\r\n");
  ExpectEntry(gbk.entries.at(0), u"E", u"中文");
  EXPECT_NE(gbk.entries.at(1).content, u"中文内容测试");
  // Bytes that have no character in the chosen encoding: the first entry holding them is named.
  EXPECT_EQ(ReadAll(Gbk(u"#E:\r\n中\r\n") + "#F:\r\nx\x81\x7Fy\r\n#G:\r\n\xFF\r\n").unconvertedKey, u"F");
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF#E:\r\nok\r\n#F:\r\n\xC3\r\n").unconvertedKey, u"F");
  // A mark alone is an empty file.
  EXPECT_TRUE(ReadAll("\xEF\xBB\xBF").entries.empty());
  EXPECT_FALSE(ReadAll("\xEF\xBB\xBF").formatError);
}

TEST(ExchangeReader, StaysAtEndAfterAnError) {
  ExchangeReader reader("junk\r\n#A:\r\nx\r\n");
  ExchangeEntry entry;
  EXPECT_EQ(reader.Next(entry), ExchangeReader::Result::FormatError);
  EXPECT_EQ(reader.Next(entry), ExchangeReader::Result::End);
  EXPECT_EQ(reader.Next(entry), ExchangeReader::Result::End);
}
