// The options as read from and written to kwo.ini.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/Options.h"
#include "support/TempFolder.h"
#include "text/Utf.h"

using kwo::settings::CIniFile;
using kwo::settings::Options;
using kwo::settings::ReadConnectionString;
using kwo::settings::ReadOptions;
using kwo::settings::WriteOptions;
using kwo::testing::ReadBytes;
using kwo::testing::TempFolder;
using kwo::testing::WriteBytes;

namespace {

class OptionsFile : public ::testing::Test {
 protected:
  Options LoadOptions() {
    CIniFile ini;
    ini.Load(path_);
    return ReadOptions(ini);
  }
  void SaveOptions(const Options& options) {
    CIniFile ini;
    ini.Load(path_);
    WriteOptions(ini, options);
    ini.Save();
  }

  TempFolder folder_;
  std::filesystem::path path_ = folder_ / "kwo.ini";
};

TEST_F(OptionsFile, MissingFileGivesNoPrefixNoTimerAndBlack) {
  const Options o = LoadOptions();
  EXPECT_EQ(o.enablePre, 0);
  EXPECT_EQ(o.enableAfter, 0);
  EXPECT_EQ(o.interval, 0);
  EXPECT_EQ(o.preStr, u"");
  EXPECT_EQ(o.afterStr, u"");
  EXPECT_EQ(o.timerStr, u"");
  EXPECT_EQ(o.red + o.green + o.blue, 0);
  CIniFile ini;
  ini.Load(path_);
  EXPECT_EQ(ReadConnectionString(ini), u"");
}

TEST_F(OptionsFile, ReadsEveryKeyFromItsSection) {
  WriteBytes(path_,
             "[sys]\r\nconnectionString=Driver={SQLite3};Database=kwo.db\r\n"
             "[BackGround]\r\nRed=300\r\nGreen=-1\r\nBlue= 12\r\n"
             "[Options]\r\nEnablePre=1\r\nEnableAfter=2\r\nInterval=15\r\n"
             "PreStr={DELAY 10}\r\nAfterStr={ENTER}\r\nTimerStr=\xD6\xD0{TAB}\r\n");
  const Options o = LoadOptions();
  EXPECT_EQ(o.red, 44);  // 300 & 0xFF
  EXPECT_EQ(o.green, 255);
  EXPECT_EQ(o.blue, 12);
  EXPECT_EQ(o.enablePre, 1);
  EXPECT_EQ(o.enableAfter, 2);
  EXPECT_EQ(o.interval, 15);
  EXPECT_EQ(o.preStr, u"{DELAY 10}");
  EXPECT_EQ(o.afterStr, u"{ENTER}");
  EXPECT_EQ(o.timerStr, u"中{TAB}");
  CIniFile ini;
  ini.Load(path_);
  EXPECT_EQ(ReadConnectionString(ini), u"Driver={SQLite3};Database=kwo.db");
}

TEST_F(OptionsFile, WriteAfterReadStoresTheLowByteOfTheColour) {
  WriteBytes(path_, "[BackGround]\r\nRed=300\r\nGreen=0\r\nBlue=0\r\n");
  SaveOptions(LoadOptions());
  const std::string bytes = ReadBytes(path_);
  EXPECT_NE(bytes.find("Red=44\r\n"), std::string::npos) << bytes;
  EXPECT_EQ(LoadOptions().red, 44);
}

TEST_F(OptionsFile, RoundTripKeepsOtherSectionsAndWritesEveryKey) {
  WriteBytes(path_, "[sys]\r\nconnectionString=db\r\n");
  Options o;
  o.enablePre = 1;
  o.enableAfter = 0;
  o.interval = 5;
  o.preStr = u"{ALT}";
  o.afterStr = u"";
  o.timerStr = u"定时\U0001F600";
  o.red = 1;
  o.green = 128;
  o.blue = 255;
  SaveOptions(o);

  const Options back = LoadOptions();
  EXPECT_EQ(back.enablePre, 1);
  EXPECT_EQ(back.enableAfter, 0);
  EXPECT_EQ(back.interval, 5);
  EXPECT_EQ(back.preStr, o.preStr);
  EXPECT_EQ(back.afterStr, u"");
  EXPECT_EQ(back.timerStr, o.timerStr);
  EXPECT_EQ(back.red, 1);
  EXPECT_EQ(back.green, 128);
  EXPECT_EQ(back.blue, 255);

  // Nothing but the emoji needs UTF-8; the layout is that of the file format.
  EXPECT_EQ(ReadBytes(path_),
            "\xEF\xBB\xBF[sys]\r\nconnectionString=db\r\n"
            "[Options]\r\nEnablePre=1\r\nEnableAfter=0\r\nInterval=5\r\n"
            "PreStr={ALT}\r\nAfterStr=\r\nTimerStr=\xE5\xAE\x9A\xE6\x97\xB6\xF0\x9F\x98\x80\r\n"
            "[BackGround]\r\nRed=1\r\nGreen=128\r\nBlue=255\r\n");
}

TEST_F(OptionsFile, PasteAboveIsNeverWhenBadAndWrittenOnlyOnceSet) {
  // Whole numbers only: what is not one is never pasting, and kept to be told.
  const struct {
    std::string value;
    int32_t expected;
    bool unread;
  } values[] = {{"200", 200, false},     {" 20 ", 20, false},  {"", 0, false},         {"0", 0, false},
                {"1000000", 1000000, false}, {"abc", 0, true}, {"-5", 0, true},        {"1e3", 0, true},
                {"20.5", 0, true},      {"20abc", 0, true},   {"+20", 0, true},       {"1000001", 0, true},
                {"99999999999", 0, true}, {"0x20", 0, true},  {"２０", 0, true}};
  for (const auto& row : values) {
    WriteBytes(path_, "\xEF\xBB\xBF[Options]\r\nPasteAbove=" + row.value + "\r\n");
    const Options read = LoadOptions();
    EXPECT_EQ(read.pasteAbove, row.expected) << row.value;
    EXPECT_EQ(kwo::text::Utf16ToUtf8(read.pasteAboveUnread), row.unread ? row.value : "") << row.value;
  }
  WriteBytes(path_, "[Options]\r\n");
  EXPECT_EQ(LoadOptions().pasteAboveUnread, u"");
  // A file without the key stays without it (RoundTripKeepsOtherSectionsAndWritesEveryKey); once set it is kept.
  Options o;
  o.pasteAbove = 300;
  SaveOptions(o);
  EXPECT_EQ(LoadOptions().pasteAbove, 300);
  o.pasteAbove = 0;
  SaveOptions(o);
  EXPECT_NE(ReadBytes(path_).find("PasteAbove=0\r\n"), std::string::npos) << ReadBytes(path_);
}

}  // namespace

TEST(IntervalBox, TakesWholeMinutesFromNoneToADay) {
  using kwo::settings::ParseInterval;
  EXPECT_EQ(ParseInterval(u"0"), 0);
  EXPECT_EQ(ParseInterval(u" 30 "), 30);
  EXPECT_EQ(ParseInterval(u"120"), 120);
  EXPECT_EQ(ParseInterval(u"1440"), 1440);
  EXPECT_EQ(ParseInterval(u"01440"), 1440);
  for (const char16_t* refused : {u"1441", u"99999", u"-5", u"-5abc", u"5abc", u"abc", u"", u"  ", u"1,440",
                                   u"+5", u"３０"}) {
    EXPECT_EQ(ParseInterval(refused), std::nullopt) << kwo::text::Utf16ToUtf8(refused);
  }
  // The paste box: empty is 0 (never), up to a million characters.
  using kwo::settings::ParsePasteAbove;
  EXPECT_EQ(ParsePasteAbove(u" "), 0);
  EXPECT_EQ(ParsePasteAbove(u"1000000"), 1000000);
  EXPECT_EQ(ParsePasteAbove(u"1000001"), std::nullopt);
  EXPECT_EQ(ParsePasteAbove(u"-1"), std::nullopt);
}
