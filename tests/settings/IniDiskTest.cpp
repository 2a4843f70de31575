// kwo.ini on the disk: the bytes written, the encodings, the replace-on-save
// and the failures of Load and Save.
#include <gtest/gtest.h>

#include <cstdlib>

#include "settings/HeldFile.h"
#include "settings/IniFile.h"
#include "support/TempFolder.h"

using kwo::settings::CIniFile;
using kwo::settings::IniError;
using kwo::settings::TempPathFor;
using kwo::testing::ReadBytes;
using kwo::testing::TempFolder;
using kwo::testing::WriteBytes;

namespace {

const std::string kUtf8Mark = "\xEF\xBB\xBF";

class IniDisk : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::filesystem::path path_ = folder_ / "kwo.ini";
};

TEST_F(IniDisk, WritesChineseInCodePage936WithCrLf) {
  CIniFile ini;
  ini.Load(path_);
  ini.SetString(u"中文", u"键", u"值 abc");
  ini.Save();
  EXPECT_EQ(ReadBytes(path_), "[\xD6\xD0\xCE\xC4]\r\n\xBC\xFC=\xD6\xB5 abc\r\n");
}

TEST_F(IniDisk, ReadsCodePage936AndKeepsItThroughASave) {
  // U+9588 ends in the byte 0x5C, the backslash: it must stay one character.
  WriteBytes(path_, "[\xB2\xCE\xCA\xFD\xC9\xE8\xD6\xC3]\r\nPreStr=\xBC\xB2\xCA\xE9\xBE\xAB\xC1\xE9\xE9\x5C\r\n");
  {
    CIniFile ini;
    ini.Load(path_);
    EXPECT_EQ(ini.GetString(u"参数设置", u"PreStr"), u"疾书精灵\u9588");
    ini.SetString(u"参数设置", u"AfterStr", u"速记");
    ini.Save();
  }
  CIniFile again;
  again.Load(path_);
  EXPECT_EQ(again.GetString(u"参数设置", u"PreStr"), u"疾书精灵\u9588");
  EXPECT_EQ(again.GetString(u"参数设置", u"AfterStr"), u"速记");
  EXPECT_EQ(ReadBytes(path_).substr(0, 1), "[");  // still code page 936: no byte-order mark
}

TEST_F(IniDisk, ValueOutsideCodePage936IsWrittenAsUtf8WithMarkAndReadBack) {
  const std::u16string emoji = u"笑\U0001F600\u4DB5";  // an emoji and a CJK Extension A character
  {
    CIniFile ini;
    ini.Load(path_);
    ini.SetString(u"Options", u"PreStr", u"中");
    ini.SetString(u"Options", u"TimerStr", emoji);
    ini.Save();
  }
  EXPECT_EQ(ReadBytes(path_), kUtf8Mark +
                                  "[Options]\r\nPreStr=\xE4\xB8\xAD\r\n"
                                  "TimerStr=\xE7\xAC\x91\xF0\x9F\x98\x80\xE4\xB6\xB5\r\n");
  {
    CIniFile ini;
    ini.Load(path_);
    EXPECT_EQ(ini.GetString(u"Options", u"PreStr"), u"中");
    EXPECT_EQ(ini.GetString(u"Options", u"TimerStr"), emoji);
    // Once everything fits code page 936 again, the file goes back to it.
    ini.SetString(u"Options", u"TimerStr", u"文");
    ini.Save();
  }
  EXPECT_EQ(ReadBytes(path_), "[Options]\r\nPreStr=\xD6\xD0\r\nTimerStr=\xCE\xC4\r\n");
}

TEST_F(IniDisk, HandWrittenUtf8FileWithMarkIsRead) {
  WriteBytes(path_, kUtf8Mark + "[sys]\nconnectionString=\xE4\xB8\xAD\xE6\x96\x87\n");
  CIniFile ini;
  ini.Load(path_);
  EXPECT_EQ(ini.GetString(u"sys", u"connectionString"), u"中文");
}

TEST_F(IniDisk, InterruptedSaveLeavesTheOldFileAndTheNextSaveWorks) {
  const std::string old = "[Options]\r\nInterval=5\r\n";
  WriteBytes(path_, old);
  struct Crash {};
  {
    CIniFile ini;
    ini.Load(path_);
    ini.SetInt(u"Options", u"Interval", 9);
    bool reached = false;
    ini.SetBeforeReplaceHook([&] {
      reached = true;
      // The new content is complete beside the old file, which is untouched.
      EXPECT_EQ(ReadBytes(TempPathFor(path_)), "[Options]\r\nInterval=9\r\n");
      EXPECT_EQ(ReadBytes(path_), old);
      throw Crash{};
    });
    EXPECT_THROW(ini.Save(), Crash);
    EXPECT_TRUE(reached);
  }
  EXPECT_EQ(ReadBytes(path_), old);

  // The next run finds the leftover copy and saves over it.
  ASSERT_TRUE(std::filesystem::exists(TempPathFor(path_)));
  CIniFile ini;
  ini.Load(path_);
  EXPECT_EQ(ini.GetInt(u"Options", u"Interval"), 5);
  ini.SetInt(u"Options", u"Interval", 7);
  ini.Save();
  EXPECT_EQ(ReadBytes(path_), "[Options]\r\nInterval=7\r\n");
  EXPECT_FALSE(std::filesystem::exists(TempPathFor(path_)));
  // The store still holds the new file and can save again.
  ini.SetInt(u"Options", u"Interval", 8);
  ini.Save();
  EXPECT_EQ(ReadBytes(path_), "[Options]\r\nInterval=8\r\n");
}

TEST_F(IniDisk, FailedSaveThrowsAndLeavesTheOldFile) {
  const std::string old = "[S]\r\nk=old\r\n";
  WriteBytes(path_, old);
  CIniFile ini;
  ini.Load(path_);
  ini.SetString(u"S", u"k", u"new");
  // A folder where the new copy should go makes the save fail.
  std::filesystem::create_directory(TempPathFor(path_));
  try {
    ini.Save();
    FAIL() << "Save went through";
  } catch (const IniError& e) {
    EXPECT_FALSE(e.Cause().empty());
    EXPECT_EQ(e.File(), TempPathFor(path_));
  }
  EXPECT_EQ(ReadBytes(path_), old);
  std::filesystem::remove(TempPathFor(path_));
  ini.Save();
  EXPECT_EQ(ReadBytes(path_), "[S]\r\nk=new\r\n");
}

TEST_F(IniDisk, LoadOfAFolderThrowsWithCauseAndFileName) {
  std::filesystem::create_directory(path_);
  CIniFile ini;
  try {
    ini.Load(path_);
    FAIL() << "Load went through";
  } catch (const IniError& e) {
    EXPECT_FALSE(e.Cause().empty());
    EXPECT_EQ(e.File(), path_);
    EXPECT_EQ(e.Message(), e.Cause() + u": " + path_.u16string());
  }
  EXPECT_TRUE(ini.Sections().empty());
  EXPECT_THROW(ini.Save(), IniError);
  EXPECT_TRUE(std::filesystem::is_directory(path_));
}

#ifndef _WIN32
// A folder and file that refuse writing to everyone, root included (a
// write-protected stick or share): loaded read-only, saves refused as for a
// read-only file; with no kwo.ini the failure names the folder.
TEST_F(IniDisk, FolderThatRefusesWritingIsReadOnly) {
  WriteBytes(path_, "[sys]\r\nconnectionString=db\r\n");
  const std::string folder = folder_.path().string();
  const std::string file = path_.string();
  if (std::system(("chattr +i '" + file + "' '" + folder + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "chattr +i is not available here";
  }
  struct Undo {
    std::string command;
    ~Undo() { (void)std::system(command.c_str()); }
  } undo{"chattr -i '" + file + "' '" + folder + "'"};
  {
    CIniFile ini;
    ASSERT_NO_THROW(ini.Load(path_));
    EXPECT_EQ(ini.GetString(u"sys", u"connectionString"), u"db");
    ini.SetString(u"sys", u"connectionString", u"other");
    try {
      ini.Save();
      FAIL() << "Save went through";
    } catch (const IniError& e) {
      EXPECT_EQ(e.Cause(), kwo::settings::kReadOnlyCause);
    }
  }
  (void)std::system(("chattr -i '" + file + "' '" + folder + "'").c_str());
  std::filesystem::remove(path_);
  (void)std::system(("chattr +i '" + folder + "'").c_str());
  try {
    CIniFile ini;
    ini.Load(path_);
    FAIL() << "Load went through";
  } catch (const IniError& e) {
    EXPECT_EQ(e.Cause(), kwo::settings::kFolderReadOnlyCause);
  }
}
#endif

TEST_F(IniDisk, LoadInAMissingFolderThrowsAndCreatesNothing) {
  const auto path = folder_.path() / "missing" / "kwo.ini";
  CIniFile ini;
  try {
    ini.Load(path);
    FAIL() << "Load went through";
  } catch (const IniError& e) {
    EXPECT_EQ(e.File(), path);
  }
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "missing"));
}

TEST_F(IniDisk, KeyBeforeAnySectionFailsLoadAndWritesNothing) {
  const std::string bytes = "junk\r\n=x\r\nk=v\r\n[S]\r\nm=w\r\n";
  WriteBytes(path_, bytes);
  CIniFile ini;
  try {
    ini.Load(path_);
    FAIL() << "Load went through";
  } catch (const IniError& e) {
    EXPECT_EQ(e.Cause(), u"第一个节（[…]）之前有键");
    EXPECT_EQ(e.File(), path_);
  }
  EXPECT_TRUE(ini.Sections().empty());
  EXPECT_THROW(ini.Save(), IniError);
  EXPECT_EQ(ReadBytes(path_), bytes);
  // The file was let go: once mended it loads.
  WriteBytes(path_, "[S]\r\nk=v\r\n");
  ini.Load(path_);
  EXPECT_EQ(ini.GetString(u"S", u"k"), u"v");
}

TEST_F(IniDisk, LoadWithoutSaveLeavesTheFileAsItWas) {
  const std::string bytes = "\r\n[ S ]\njunk\r\n k = v \r\n";
  WriteBytes(path_, bytes);
  {
    CIniFile ini;
    ini.Load(path_);
    ini.SetString(u"S", u"k", u"changed");
  }
  EXPECT_EQ(ReadBytes(path_), bytes);
}

TEST_F(IniDisk, LineEndInASetValueCannotSplitItIntoOtherKeys) {
  {
    CIniFile ini;
    ini.Load(path_);
    ini.SetString(u"Options", u"PreStr", u"x\r\n[sys]\nconnectionString=other");
    ini.SetString(u"Options", u"AfterStr", u"y");
    ini.Save();
  }
  CIniFile ini;
  ini.Load(path_);
  EXPECT_EQ(ini.FindSection(u"sys"), nullptr);
  EXPECT_EQ(ini.GetString(u"Options", u"PreStr"), u"x\r [sys] connectionString=other");
  EXPECT_EQ(ini.GetString(u"Options", u"AfterStr"), u"y");
}

#ifdef _WIN32
TEST_F(IniDisk, LoadedFileCannotBeLoadedAgainUntilReleased) {
  CIniFile first;
  first.Load(path_);
  CIniFile second;
  EXPECT_THROW(second.Load(path_), IniError);
  // A save swaps the file and holds the new one just the same.
  first.SetString(u"S", u"k", u"v");
  first.Save();
  EXPECT_THROW(second.Load(path_), IniError);
  first.Close();
  second.Load(path_);
  EXPECT_EQ(second.GetString(u"S", u"k"), u"v");
}
#endif

}  // namespace
