// How kwo.ini's lines become sections and keys, and how a save normalises them.
#include <gtest/gtest.h>

#include <climits>

#include "settings/IniFile.h"
#include "support/TempFolder.h"

using kwo::settings::CIniFile;
using kwo::settings::IniError;
using kwo::testing::ReadBytes;
using kwo::testing::TempFolder;
using kwo::testing::WriteBytes;

namespace {

class IniParse : public ::testing::Test {
 protected:
  void LoadBytes(const std::string& bytes) {
    WriteBytes(path_, bytes);
    ini_.Load(path_);
  }
  void SaveAndExpect(const std::string& bytes) {
    ini_.Save();
    EXPECT_EQ(ReadBytes(path_), bytes);
  }
  std::vector<std::u16string> KeyNames(std::u16string_view section) const {
    std::vector<std::u16string> names;
    if (auto* s = ini_.FindSection(section))
      for (const auto& key : s->Keys()) names.push_back(key->Name());
    return names;
  }
  std::vector<std::u16string> SectionNames() const {
    std::vector<std::u16string> names;
    for (const auto& s : ini_.Sections()) names.push_back(s->Name());
    return names;
  }

  TempFolder folder_;
  std::filesystem::path path_ = folder_ / "kwo.ini";
  CIniFile ini_;
};

using Names = std::vector<std::u16string>;

TEST_F(IniParse, MissingFileIsCreatedEmptyAndReadsAsNothing) {
  ASSERT_FALSE(std::filesystem::exists(path_));
  ini_.Load(path_);
  EXPECT_TRUE(std::filesystem::is_regular_file(path_));
  EXPECT_EQ(std::filesystem::file_size(path_), 0u);
  EXPECT_TRUE(ini_.Sections().empty());
  EXPECT_EQ(ini_.GetString(u"Options", u"PreStr"), u"");
  EXPECT_EQ(ini_.GetInt(u"Options", u"Interval"), 0);
  // Reading creates nothing: an unchanged save writes an empty file.
  SaveAndExpect("");
}

TEST_F(IniParse, SectionNamesAreTrimmedAndMatchedWithoutCase) {
  LoadBytes("[ Options ]\r\nEnablePre=1\r\n[options]\r\nInterval=5\r\n[OPTIONS]\r\nPreStr=x\r\n");
  EXPECT_EQ(SectionNames(), (Names{u"Options"}));
  EXPECT_EQ(ini_.GetInt(u"Options", u"EnablePre"), 1);
  EXPECT_EQ(ini_.GetInt(u"  options\t", u" INTERVAL "), 5);
  EXPECT_EQ(ini_.GetString(u"oPtIoNs", u"prestr"), u"x");
  SaveAndExpect("[Options]\r\nEnablePre=1\r\nInterval=5\r\nPreStr=x\r\n");
}

TEST_F(IniParse, KeyNameIsTrimmedAndValueKeepsSpaceAfterEquals) {
  LoadBytes("[Options]\r\n  EnablePre = 1\r\n\tPreStr=  a b  \r\n");
  EXPECT_EQ(KeyNames(u"Options"), (Names{u"EnablePre", u"PreStr"}));
  EXPECT_EQ(ini_.GetString(u"Options", u"EnablePre"), u" 1");
  EXPECT_EQ(ini_.GetInt(u"Options", u"EnablePre"), 1);
  // Trailing space goes with the trimming of the whole line.
  EXPECT_EQ(ini_.GetString(u"Options", u"PreStr"), u"  a b");
}

TEST_F(IniParse, KeyAndSectionLineRules) {
  LoadBytes(
      "[s]\r\n"
      "a=b=c\r\n"     // split at the first '='
      "=x\r\n"        // no name: ignored
      "[x\r\n"        // unclosed section: ignored
      ";note\r\n"     // no '=': ignored
      ";a=b\r\n"      // no comment syntax: a key named ";a"
      "empty=\r\n"    // a key with an empty value
      "[a]b]\r\n"     // section "a]b"
      "k=1\r\n"
      "[a=b]\r\n"     // a section, not a key
      "[]\r\n"        // a section with an empty name
      "e=2\r\n");
  EXPECT_EQ(SectionNames(), (Names{u"s", u"a]b", u"a=b", u""}));
  EXPECT_EQ(KeyNames(u"s"), (Names{u"a", u";a", u"empty"}));
  EXPECT_EQ(ini_.GetString(u"s", u"a"), u"b=c");
  EXPECT_EQ(ini_.GetString(u"s", u";a"), u"b");
  EXPECT_EQ(ini_.GetString(u"a]b", u"k"), u"1");
  EXPECT_TRUE(KeyNames(u"a=b").empty());
  EXPECT_EQ(ini_.GetString(u"", u"e"), u"2");
  EXPECT_EQ(ini_.FindSection(u"x"), nullptr);
  EXPECT_EQ(ini_.FindSection(u"s")->FindKey(u"=x"), nullptr);
}

TEST_F(IniParse, DuplicateKeyKeepsFirstPlaceAndLastValue) {
  LoadBytes("[Options]\r\nInterval=5\r\nPreStr=p\r\ninterval=9\r\n");
  EXPECT_EQ(ini_.GetInt(u"Options", u"Interval"), 9);
  EXPECT_EQ(KeyNames(u"Options"), (Names{u"Interval", u"PreStr"}));
  SaveAndExpect("[Options]\r\nInterval=9\r\nPreStr=p\r\n");
}

TEST_F(IniParse, RepeatedSectionCollectsKeysInOrderOfFirstOccurrence) {
  LoadBytes("[A]\r\nk1=1\r\n[B]\r\nm=2\r\n[a]\r\nk2=3\r\nk1=4\r\n");
  SaveAndExpect("[A]\r\nk1=4\r\nk2=3\r\n[B]\r\nm=2\r\n");
}

TEST_F(IniParse, NamesKeepTheLetterCaseTheyWereFirstCreatedWith) {
  LoadBytes("[Options]\r\nEnablePre=1\r\n");
  ini_.SetString(u"OPTIONS", u"enablepre", u"0");
  ini_.SetString(u" options ", u" NewKey ", u"v");
  SaveAndExpect("[Options]\r\nEnablePre=0\r\nNewKey=v\r\n");
}

TEST_F(IniParse, SetOnNewSectionAppendsItAtTheEnd) {
  LoadBytes("[Options]\r\nA=1\r\n");
  ini_.SetString(u"New", u"K", u"v");
  ini_.SetInt(u"Options", u"B", -5);
  EXPECT_EQ(ini_.GetString(u"Options", u"B"), u"-5");
  SaveAndExpect("[Options]\r\nA=1\r\nB=-5\r\n[New]\r\nK=v\r\n");
}

TEST_F(IniParse, BlankAndJunkLinesAreGoneAfterSave) {
  LoadBytes("\r\n  \r\njunk\r\n[S]\r\n\r\nno equals here\r\n   k  =  v  \r\n=x\r\n\t\r\n");
  SaveAndExpect("[S]\r\nk=  v\r\n");
}

TEST_F(IniParse, ReadsBareLfAndALastLineWithoutLineEnd) {
  LoadBytes("[S]\nk=v\r\nm=w\nlast=1");
  EXPECT_EQ(ini_.GetString(u"S", u"k"), u"v");
  EXPECT_EQ(ini_.GetString(u"S", u"m"), u"w");
  EXPECT_EQ(ini_.GetInt(u"S", u"last"), 1);
  SaveAndExpect("[S]\r\nk=v\r\nm=w\r\nlast=1\r\n");
}

TEST_F(IniParse, GetIntReadsLikeWcstol) {
  LoadBytes(
      "[n]\r\nlead= \t-12abc\r\nplus=+7\r\nword=abc\r\nempty=\r\nbig=99999999999\r\nsmall=-99999999999\r\n");
  EXPECT_EQ(ini_.GetInt(u"n", u"lead"), -12);
  EXPECT_EQ(ini_.GetInt(u"n", u"plus"), 7);
  EXPECT_EQ(ini_.GetInt(u"n", u"word"), 0);
  EXPECT_EQ(ini_.GetInt(u"n", u"empty"), 0);
  EXPECT_EQ(ini_.GetInt(u"n", u"big"), INT32_MAX);
  EXPECT_EQ(ini_.GetInt(u"n", u"small"), INT32_MIN);
  EXPECT_EQ(ini_.GetInt(u"n", u"missing"), 0);
  EXPECT_EQ(ini_.GetInt(u"missing", u"lead"), 0);
}

TEST_F(IniParse, SetIntRoundTripsTheWholeRange) {
  ini_.Load(path_);
  for (int32_t value : {0, 1, -1, 300, INT32_MAX, INT32_MIN}) {
    ini_.SetInt(u"n", u"v", value);
    EXPECT_EQ(ini_.GetInt(u"n", u"v"), value);
  }
  ini_.SetInt(u"n", u"v", INT32_MIN);
  SaveAndExpect("[n]\r\nv=-2147483648\r\n");
}

TEST_F(IniParse, ParseRebuildsTheTreeFromTheFileAndDropsUnsavedChanges) {
  LoadBytes("[S]\r\nk=v\r\n");
  ini_.SetString(u"S", u"k", u"changed");
  ini_.SetString(u"T", u"x", u"y");
  ini_.Parse();
  EXPECT_EQ(ini_.GetString(u"S", u"k"), u"v");
  EXPECT_EQ(ini_.FindSection(u"T"), nullptr);
}

TEST_F(IniParse, CloseClearsTheTreeAndSaveThenFails) {
  LoadBytes("[S]\r\nk=v\r\n");
  ini_.Close();
  EXPECT_TRUE(ini_.Sections().empty());
  EXPECT_THROW(ini_.Save(), IniError);
  EXPECT_EQ(ReadBytes(path_), "[S]\r\nk=v\r\n");
}

}  // namespace
