#include <gtest/gtest.h>

#include "text/Utf.h"

#include "support/TempDatabase.h"
#include "store/AdoErrors.h"
#include "store/ShorthandTable.h"

namespace kwo::store {
namespace {

using testing::InsertEntry;
using testing::ConnectionTo;
using testing::FreshDatabase;
using testing::TempFolder;

class CADORecordsetTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(FreshDatabase(GetParam(), folder))) << kwo::text::Utf16ToUtf8(db.LastErrorText());
    rs.SetConnection(db.Connection());
  }

  void Fill(int count) {
    ASSERT_TRUE(db.BeginTrans());
    for (int i = 1; i <= count; ++i) {
      ASSERT_TRUE(InsertEntry(db.Connection(), IdText(static_cast<uint32_t>(i)), u"K" + IdText(i), u"C" + IdText(i)));
    }
    ASSERT_TRUE(db.CommitTrans());
  }

  std::u16string Field(CADORecordset& r, int index) {
    std::u16string text = u"<unset>";
    r.FieldText(index, text);
    return text;
  }

  TempFolder folder;
  CADODataBase db;
  CADORecordset rs;
};

TEST_P(CADORecordsetTest, WalksAStaticResult) {
  Fill(3);
  ASSERT_TRUE(rs.Open(db.Connection(), u"select * from kwo order by id"));
  EXPECT_TRUE(rs.IsOpen());
  EXPECT_EQ(rs.RecordCount(), 3u);
  EXPECT_EQ(Field(rs, 1), u"K1");  // counting left the cursor on the first row
  rs.MoveNext();
  rs.MoveNext();
  EXPECT_EQ(Field(rs, 0), u"3");
  rs.MoveNext();
  EXPECT_TRUE(rs.AtEnd());
  rs.MoveFirst();
  EXPECT_FALSE(rs.AtEnd());
  EXPECT_EQ(Field(rs, 2), u"C1");
  rs.Close();
  EXPECT_FALSE(rs.IsOpen());
  rs.Close();  // closing twice does nothing
}

TEST_P(CADORecordsetTest, StreamsALongResultAndStillMovesFirst) {
  Fill(1000);
  // Values longer than any read buffer, between short ones, come back whole.
  std::u16string longer;
  for (int i = 0; longer.size() < 5000; ++i) longer += u"疾书精灵 line " + IdText(static_cast<uint32_t>(i)) + u"\r\n";
  const std::u16string longest = longer + longer;
  ASSERT_TRUE(InsertEntry(db.Connection(), IdText(1001), u"K1001", longer));
  ASSERT_TRUE(InsertEntry(db.Connection(), IdText(1002), longest.substr(0, 200), longest));
  ASSERT_TRUE(InsertEntry(db.Connection(), IdText(1003), u"K1003", u"C1003"));
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  int seen = 0;
  while (!rs.AtEnd()) {
    ++seen;
    EXPECT_EQ(Field(rs, 0), IdText(static_cast<uint32_t>(seen)));
    if (seen == 1001) {
      EXPECT_EQ(Field(rs, 2), longer);
    } else if (seen == 1002) {
      EXPECT_EQ(Field(rs, 1) + Field(rs, 2), longest.substr(0, 200) + longest);
    } else if (seen == 1003 || seen == 1000) {
      EXPECT_EQ(Field(rs, 2), u"C" + IdText(static_cast<uint32_t>(seen)));
    }
    rs.MoveNext();
  }
  EXPECT_EQ(seen, 1003);
  rs.MoveFirst();
  EXPECT_EQ(Field(rs, 0), u"1");
  EXPECT_EQ(rs.RecordCount(), 1003u);
  EXPECT_EQ(Field(rs, 0), u"1");
}

TEST_P(CADORecordsetTest, ConvertsFieldsByType) {
  if (GetParam() != "Sqlite") GTEST_SKIP() << "SQLite's own storage classes";
  ASSERT_TRUE(rs.Open(db.Connection(), u"select 42, null, 'text', 0.5, x'00ff', -7, 1e300"));
  EXPECT_EQ(Field(rs, 0), u"42");
  std::u16string text = u"old";
  EXPECT_TRUE(rs.FieldText(1, text));
  EXPECT_EQ(text, u"");
  EXPECT_EQ(Field(rs, 2), u"text");
  EXPECT_EQ(Field(rs, 3), u"0.5");
  text = u"old";
  EXPECT_FALSE(rs.FieldText(4, text));  // a BLOB has no text form
  EXPECT_EQ(text, u"old");
  EXPECT_EQ(Field(rs, 5), u"-7");
  EXPECT_EQ(Field(rs, 6), u"1.0000000000000000525e+300");
  EXPECT_FALSE(rs.FieldText(7, text));
  EXPECT_EQ(rs.LastErrorCode(), kErrorItemNotFound);
  EXPECT_EQ(text, u"old");
}

TEST_P(CADORecordsetTest, InsertsUpdatesAndDeletesRows) {
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 11));
  EXPECT_TRUE(rs.AtEnd());
  ASSERT_TRUE(rs.AddNew());
  EXPECT_EQ(rs.GetEditStatus(), EditStatus::New);
  EXPECT_TRUE(rs.SetFieldText(0, u"11"));
  EXPECT_TRUE(rs.SetFieldText(1, u"A"));
  EXPECT_TRUE(rs.SetFieldText(2, u"first"));
  ASSERT_TRUE(rs.Update());
  EXPECT_EQ(rs.GetEditStatus(), EditStatus::None);
  rs.Close();

  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 11));
  ASSERT_EQ(rs.RecordCount(), 1u);
  rs.MoveFirst();
  rs.BeginEdit();
  EXPECT_EQ(rs.GetEditStatus(), EditStatus::Edit);
  rs.SetFieldText(2, u"second");
  ASSERT_TRUE(rs.Update());
  EXPECT_EQ(Field(rs, 2), u"second");
  rs.Close();

  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 11));
  EXPECT_EQ(Field(rs, 1), u"A");
  EXPECT_EQ(Field(rs, 2), u"second");
  ASSERT_TRUE(rs.Delete());
  rs.Close();
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  EXPECT_EQ(rs.RecordCount(), 0u);
}

TEST_P(CADORecordsetTest, DeletedRowStaysCurrentUntilTheNextMove) {
  Fill(3);
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  ASSERT_TRUE(rs.Delete());
  EXPECT_FALSE(rs.AtEnd());
  std::u16string text = u"kept";
  EXPECT_FALSE(rs.FieldText(0, text));
  EXPECT_EQ(rs.LastErrorCode(), kErrorNoCurrentRecord);
  EXPECT_FALSE(rs.Delete());
  EXPECT_EQ(rs.RecordCount(), 2u);
  rs.MoveNext();
  EXPECT_EQ(Field(rs, 0), u"2");
  ASSERT_TRUE(rs.Delete());
  rs.MoveNext();
  EXPECT_EQ(Field(rs, 0), u"3");
  ASSERT_TRUE(rs.Delete());
  rs.MoveNext();
  EXPECT_TRUE(rs.AtEnd());
  rs.MoveFirst();
  EXPECT_TRUE(rs.AtEnd());
}

TEST_P(CADORecordsetTest, UpdateWithoutPendingEditTouchesNothing) {
  Fill(1);
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 1));
  rs.SetFieldText(2, u"not stored");  // no AddNew or BeginEdit
  EXPECT_TRUE(rs.Update());
  rs.Close();
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 1));
  EXPECT_EQ(Field(rs, 2), u"C1");
  CADORecordset never;
  EXPECT_TRUE(never.Update());
}

// A new row whose key exists (another user saved it first) overwrites that
// row; a value the column rejects fails and leaves nothing pending.
TEST_P(CADORecordsetTest, FailedUpdateCancelsThePendingRow) {
  Fill(1);
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 2));
  ASSERT_TRUE(rs.AddNew());
  rs.SetFieldText(0, u"1");  // the id is taken meanwhile
  rs.SetFieldText(1, u"X");
  rs.SetFieldText(2, u"second");
  EXPECT_TRUE(rs.Update()) << kwo::text::Utf16ToUtf8(rs.LastErrorText());
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 1));
  EXPECT_EQ(Field(rs, 1), u"X");
  EXPECT_EQ(Field(rs, 2), u"second");

  ASSERT_TRUE(rs.AddNew());
  rs.SetFieldText(0, u"not a number");  // the id column rejects it
  EXPECT_FALSE(rs.Update());
  EXPECT_EQ(rs.GetEditStatus(), EditStatus::None);
  EXPECT_NE(rs.LastErrorText().find(u"Query = select * from kwo where id=?1\nCADORecordset Error\n\tCode = "),
            std::u16string::npos);
  EXPECT_FALSE(rs.ErrorDescription().empty());
  EXPECT_TRUE(rs.Update());  // nothing is left pending
  rs.Close();
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  EXPECT_EQ(rs.RecordCount(), 1u);
}

TEST_P(CADORecordsetTest, CloseCancelsAPendingEdit) {
  Fill(1);
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 1));
  rs.BeginEdit();
  rs.SetFieldText(2, u"dropped");
  rs.Close();
  EXPECT_EQ(rs.GetEditStatus(), EditStatus::None);
  EXPECT_TRUE(rs.Update());
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 1));
  EXPECT_EQ(Field(rs, 2), u"C1");
}

TEST_P(CADORecordsetTest, EmptyStatementRerunsTheStoredOne) {
  Fill(2);
  ASSERT_TRUE(rs.Open(db.Connection(), u" \t\r\n select * from kwo where id=?1", kStatementDefault,
                      {DbValue(int64_t{2})}));
  EXPECT_EQ(rs.Statement(), u"select * from kwo where id=?1");
  rs.Close();
  ASSERT_TRUE(InsertEntry(db.Connection(), u"3", u"K3", u"C3"));
  ASSERT_TRUE(rs.Open(db.Connection(), u""));
  EXPECT_EQ(Field(rs, 1), u"K2");
  ASSERT_TRUE(rs.Open(db.Connection(), u"", kStatementDefault, {DbValue(int64_t{3})}));
  EXPECT_EQ(Field(rs, 1), u"K3");
}

TEST_P(CADORecordsetTest, RejectedStatementFillsTheErrorRecord) {
  EXPECT_FALSE(rs.Open(db.Connection(), u"select * from kwo where left(shortkey,1) = \"A\" order by id"));
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_FALSE(rs.ErrorDescription().empty());
  if (GetParam() == "Sqlite") {
    EXPECT_EQ(rs.LastErrorCode(), 1u);  // SQLITE_ERROR
  }
  EXPECT_EQ(GetParam() != "Sqlite" ||rs.LastErrorText().rfind(u"Query = select * from kwo where left(shortkey,1) = \"A\" order by id\n"
                                     u"CADORecordset Error\n\tCode = 00000001\n\tCode meaning = SQL logic error\n"
                                     u"\tSource = SQLite\n\tDescription = ",
                                     0) == 0u,
            true);
  EXPECT_FALSE(rs.Open(db.Connection(), u"select 1; drop table kwo"));
  EXPECT_FALSE(rs.Open(db.Connection(), u"select * from kwo", 7));
  EXPECT_FALSE(rs.Open(db.Connection(), u"kwo", kStatementStoredProc));
  ASSERT_TRUE(rs.Open(db.Connection(), u"kwo", kStatementTable));
  EXPECT_EQ(rs.RecordCount(), 0u);
}

TEST_P(CADORecordsetTest, ClosedOrUnboundRecordsetBehavesAsNoRows) {
  CADORecordset never;
  EXPECT_FALSE(never.IsOpen());
  EXPECT_EQ(never.RecordCount(), 0u);
  EXPECT_TRUE(never.AtEnd());
  never.MoveFirst();
  never.MoveNext();
  std::u16string text = u"kept";
  EXPECT_FALSE(never.FieldText(0, text));
  EXPECT_EQ(text, u"kept");
  EXPECT_FALSE(never.SetFieldText(0, u"x"));
  EXPECT_FALSE(never.AddNew());
  EXPECT_EQ(never.GetEditStatus(), EditStatus::None);
  EXPECT_FALSE(never.Delete());
  EXPECT_EQ(never.LastErrorCode(), kErrorObjectClosed);

  EXPECT_FALSE(never.Open(nullptr, u"select * from kwo"));
  EXPECT_EQ(never.LastErrorCode(), kErrorPointer);
  EXPECT_NE(never.LastErrorText().find(u"\tCode = 80004003\n"), std::u16string::npos);

  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 5));  // empty result
  EXPECT_FALSE(rs.Delete());
  EXPECT_EQ(rs.LastErrorCode(), kErrorNoCurrentRecord);
  rs.MoveNext();
  EXPECT_TRUE(rs.AtEnd());
  rs.BeginEdit();
  EXPECT_FALSE(rs.Update());
}

TEST_P(CADORecordsetTest, ClosingTheDatabaseEndsItsResults) {
  Fill(2);
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  db.Close();
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_TRUE(rs.AtEnd());
  EXPECT_EQ(rs.RecordCount(), 0u);
  ASSERT_TRUE(db.Open(u""));
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  EXPECT_EQ(rs.RecordCount(), 2u);
}

TEST_P(CADORecordsetTest, TwoRecordsetsRunTheSameStatementIndependently) {
  Fill(3);
  CADORecordset dialog;  // the edit dialog keeps its lookup open between messages
  dialog.SetConnection(db.Connection());
  ASSERT_TRUE(OpenLookup(dialog, db.Connection(), 2));
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 3));
  EXPECT_EQ(Field(dialog, 1), u"K2");
  EXPECT_EQ(Field(rs, 1), u"K3");
  ASSERT_TRUE(OpenListing(dialog, db.Connection()));
  CADORecordset listing;
  ASSERT_TRUE(OpenListing(listing, db.Connection()));
  dialog.MoveNext();
  EXPECT_EQ(Field(dialog, 0), u"2");
  EXPECT_EQ(Field(listing, 0), u"1");
}

TEST_P(CADORecordsetTest, DeletesByAllColumnsWhenTheResultHasNoKey) {
  Fill(2);
  ASSERT_TRUE(rs.Open(db.Connection(), u"select shortkey, content from kwo where shortkey=?1", kStatementDefault,
                      {DbValue(std::u16string(u"K2"))}));
  rs.BeginEdit();
  rs.SetFieldText(1, u"changed");
  ASSERT_TRUE(rs.Update());
  ASSERT_TRUE(rs.Delete());
  rs.Close();
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  EXPECT_EQ(rs.RecordCount(), 1u);
  EXPECT_EQ(Field(rs, 1), u"K1");

  ASSERT_TRUE(rs.Open(db.Connection(), u"select count(*) from kwo"));
  rs.BeginEdit();
  rs.SetFieldText(0, u"9");
  EXPECT_FALSE(rs.Update());
  EXPECT_EQ(rs.LastErrorCode(), kErrorNotUpdatable);
}

TEST_P(CADORecordsetTest, WritesTablesAndColumnsWithUnusualNames) {
  ASSERT_TRUE(rs.Open(db.Connection(), u"create table \"we\"\"ird\"(\"my key\" integer primary key, \"c\"\"d\" text)"));
  ASSERT_TRUE(rs.Open(db.Connection(), u"select * from \"we\"\"ird\""));
  ASSERT_TRUE(rs.AddNew());
  rs.SetFieldText(0, u"7");
  rs.SetFieldText(1, u"seven");
  ASSERT_TRUE(rs.Update());
  ASSERT_TRUE(rs.Open(db.Connection(), u""));
  ASSERT_EQ(rs.RecordCount(), 1u);
  rs.BeginEdit();
  rs.SetFieldText(1, u"SEVEN");
  ASSERT_TRUE(rs.Update());
  ASSERT_TRUE(rs.Open(db.Connection(), u""));
  EXPECT_EQ(Field(rs, 1), u"SEVEN");
  ASSERT_TRUE(rs.Delete());
  ASSERT_TRUE(rs.Open(db.Connection(), u""));
  EXPECT_TRUE(rs.AtEnd());
}

INSTANTIATE_TEST_SUITE_P(Engines, CADORecordsetTest, ::testing::ValuesIn(testing::TestEngines()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace kwo::store
