// Start-up on a kwo.ini and a database in a temporary folder: the settings
// the main window gets, and the texts of the failures that stop the program.
#include "app/Startup.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempFolder.h"
#include "text/Utf.h"

namespace kwo::app {
namespace {

using kwo::testing::TempFolder;
using kwo::testing::WriteBytes;

std::string DataSourceLine(const TempFolder& folder, const char* name) {
  return "connectionString=Provider=SQLite;Data Source=" + (folder / name).string() + "\r\n";
}

ProgramPaths PathsIn(const TempFolder& folder) { return ProgramPaths::In(folder.path().wstring() + L"\\"); }

TEST(Startup, HandsOnTheSettingsOfTheGivenFileAndCreatesTheDatabaseOnce) {
  TempFolder folder;
  WriteBytes(folder / "kwo.ini", "[sys]\r\n" + DataSourceLine(folder, "kwo.db") +
                                     "[Options]\r\nInterval=7\r\nHotKey=Ctrl+Alt+\r\n"
                                     "[Menu]\r\nhome=https://example.com/\r\nfolder=.\r\n");
  {
    CStartup started(PathsIn(folder));
    EXPECT_EQ(started.paths.iniFile, (folder / "kwo.ini").wstring());
    EXPECT_EQ(started.paths.helpFile, (folder / "kwo.chm").wstring());
    EXPECT_TRUE(started.storeCreated);
    EXPECT_TRUE(started.store.IsOpen());
    EXPECT_EQ(started.settings.options.interval, 7);
    // A hotkey that cannot be read: Win + Space, and one notice that says so.
    EXPECT_TRUE(started.settings.hotKey == keys::kDefaultHotKey);
    EXPECT_NE(started.settings.notice.find(L"Ctrl+Alt+"), std::wstring::npos) << started.settings.notice;
    ASSERT_EQ(started.settings.menuLinks.size(), 2u);
    EXPECT_EQ(started.settings.menuLinks[0], std::make_pair(std::wstring(L"home"), std::wstring(L"https://example.com/")));
    EXPECT_EQ(started.settings.menuLinks[1].first, L"folder");
  }
  CStartup again(PathsIn(folder));
  EXPECT_FALSE(again.storeCreated);
  EXPECT_TRUE(again.settings.notice.find(L"热键") != std::wstring::npos);
}

TEST(Startup, ConnectionStringOfAFileWithoutOneIsTheDefault) {
  TempFolder folder;
  WriteBytes(folder / "kwo.ini", "[Options]\r\nInterval=1\r\n");
  EXPECT_EQ(ReadConnectionStringOf((folder / "kwo.ini").wstring()), u"Provider=SQLite;Data Source=kwo.db");
  WriteBytes(folder / "kwo.ini", "[sys]\r\n" + DataSourceLine(folder, "other.db"));
  EXPECT_NE(ReadConnectionStringOf((folder / "kwo.ini").wstring()).find(u"other.db"), std::u16string::npos);
}

// Each failure names the file and what the user can do about it.
TEST(Startup, FailuresThatStopTheProgramNameTheFile) {
  struct Case {
    const char* name;
    std::string ini;
    const char* database;  // bytes of the database file; nullptr: none
    std::wstring said;
    std::wstring names;  // the file named in the text
  };
  TempFolder folder;
  const std::wstring iniFile = (folder / "kwo.ini").wstring();
  const std::wstring junkFile = (folder / "junk.db").wstring();
  const std::string junk(4096, 'x');
  const Case cases[] = {
      {"key before any section", "Interval=5\r\n[Options]\r\n", nullptr, L"设置文件的格式不对", iniFile},
      {"damaged database", "[sys]\r\n" + DataSourceLine(folder, "junk.db"), junk.c_str(), L"数据库文件已损坏", junkFile},
      {"database in a missing folder", "[sys]\r\n" + DataSourceLine(folder, "missing/kwo.db"), nullptr,
       L"无法打开数据库", L"missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder / "kwo.ini", c.ini);
    if (c.database != nullptr) WriteBytes(folder / "junk.db", c.database);
    try {
      CStartup started(PathsIn(folder));
      ADD_FAILURE() << "started";
    } catch (const StartupError& failure) {
      EXPECT_EQ(failure.Text().find(c.said), 0u) << text::Utf16ToUtf8(text::FromWide(failure.Text()));
      EXPECT_NE(failure.Text().find(c.names), std::wstring::npos) << text::Utf16ToUtf8(text::FromWide(failure.Text()));
      EXPECT_EQ(text::Utf8ToUtf16(failure.what()), text::FromWide(failure.Text()));
    }
  }
}

}  // namespace
}  // namespace kwo::app
