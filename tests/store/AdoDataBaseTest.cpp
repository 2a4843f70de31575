#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "support/TempDatabase.h"
#include "store/AdoErrors.h"
#include "store/ConnectionString.h"
#include "store/OdbcEngine.h"
#include "store/ShorthandTable.h"

namespace kwo::store {
namespace {

using testing::InsertEntry;
using testing::ConnectionTo;
using testing::TempFolder;

// The table's columns as SQLite reports them, read with a connection of its own.
std::string TableSchema(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.u8string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* s = nullptr;
  std::string columns;
  if (sqlite3_prepare_v2(db, "select name, type, pk from pragma_table_info('kwo') order by cid", -1, &s, nullptr) ==
      SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      columns += reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      columns += " ";
      columns += reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
      columns += sqlite3_column_int(s, 2) ? " pk;" : ";";
    }
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return columns;
}

TEST(CADODataBase, CreatesAMissingDatabaseWithItsTable) {
  TempFolder folder;
  CADODataBase db;
  ASSERT_TRUE(db.Open(ConnectionTo(folder, u"new.db")));
  EXPECT_TRUE(db.IsOpen());
  EXPECT_TRUE(std::filesystem::exists(folder / u"new.db"));
  EXPECT_EQ(TableSchema(folder / u"new.db"), "id INTEGER pk;shortkey TEXT;content TEXT;");

  CADORecordset rs;
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  EXPECT_EQ(rs.RecordCount(), 0u);
  EXPECT_TRUE(rs.AtEnd());
}

// The missing-file rule of a connection: made anew, or left missing.
TEST(DbConnection, MissingFileRule) {
  struct Case {
    MissingFile rule;
    bool present;
    bool opens;
  };
  const Case cases[] = {{MissingFile::Create, false, true},
                        {MissingFile::Create, true, true},
                        {MissingFile::Fail, false, false},
                        {MissingFile::Fail, true, true}};
  for (const Case& c : cases) {
    TempFolder folder;
    if (c.present) {
      CADODataBase made;
      ASSERT_TRUE(made.Open(ConnectionTo(folder, u"kwo.db")));
    }
    DbConnection connection;
    DbError error;
    const bool opened = connection.Open(ConnectionTo(folder, u"kwo.db"), c.rule, error);
    EXPECT_EQ(opened, c.opens) << static_cast<int>(c.rule) << c.present;
    EXPECT_EQ(opened, error.description.empty()) << static_cast<int>(c.rule) << c.present;
    EXPECT_EQ(std::filesystem::exists(folder / u"kwo.db"), c.opens) << static_cast<int>(c.rule) << c.present;
  }
}

TEST(CADODataBase, UsesARollbackJournalAndFullSync) {
  TempFolder folder;
  CADODataBase db;
  ASSERT_TRUE(db.Open(ConnectionTo(folder, u"kwo.db")));
  CADORecordset rs;
  std::u16string value;
  ASSERT_TRUE(rs.Open(db.Connection(), u"pragma journal_mode"));
  ASSERT_TRUE(rs.FieldText(0, value));
  EXPECT_EQ(value, u"delete");
  ASSERT_TRUE(rs.Open(db.Connection(), u"pragma synchronous"));
  ASSERT_TRUE(rs.FieldText(0, value));
  EXPECT_EQ(value, u"2");
}

TEST(CADODataBase, AddsTheTableToADatabaseWithoutIt) {
  TempFolder folder;
  const std::filesystem::path file = folder / u"other.db";
  sqlite3* raw = nullptr;
  sqlite3_open(file.u8string().c_str(), &raw);
  sqlite3_exec(raw, "create table notes(x); insert into notes values(1);", nullptr, nullptr, nullptr);
  sqlite3_close(raw);

  CADODataBase db;
  ASSERT_TRUE(db.Open(ConnectionTo(folder, u"other.db")));
  EXPECT_EQ(TableSchema(file), "id INTEGER pk;shortkey TEXT;content TEXT;");
  CADORecordset rs;
  ASSERT_TRUE(rs.Open(db.Connection(), u"select * from notes"));
  EXPECT_EQ(rs.RecordCount(), 1u);
}

TEST(CADODataBase, ResolvesARelativeDataSourceAgainstTheCurrentFolder) {
  TempFolder folder;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  {
    CADODataBase db;
    EXPECT_TRUE(db.Open(DefaultConnectionString()));
    db.Close();
  }
  std::filesystem::current_path(before);
  EXPECT_TRUE(std::filesystem::exists(folder / u"kwo.db"));
}

TEST(CADODataBase, KeepsDataAcrossReopenAndChineseFileNames) {
  TempFolder folder;
  const std::u16string connection = ConnectionTo(folder, u"速记 数据.db");
  {
    CADODataBase db;
    ASSERT_TRUE(db.Open(connection));
    ASSERT_TRUE(InsertEntry(db.Connection(), u"11", u"A", u"甲"));
    ASSERT_TRUE(db.Open(connection));  // open while open: closes first
    EXPECT_TRUE(db.IsOpen());
  }
  EXPECT_TRUE(std::filesystem::exists(folder / u"速记 数据.db"));
  CADODataBase db;
  ASSERT_TRUE(db.Open(connection));
  ASSERT_TRUE(db.Open(u""));  // an empty string reopens the remembered one
  EXPECT_EQ(db.ConnectionString(), connection);
  CADORecordset rs;
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 11));
  std::u16string content;
  ASSERT_TRUE(rs.FieldText(2, content));
  EXPECT_EQ(content, u"甲");
}

TEST(CADODataBase, EmptyStringWithNothingRememberedFails) {
  CADODataBase db;
  EXPECT_FALSE(db.Open(u""));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.LastErrorCode(), kErrorFail);
  EXPECT_EQ(db.LastErrorText().rfind(u"Connection String = \nCADODataBase Error\n\tCode = 80004005\n", 0), 0u);
}

TEST(CADODataBase, OtherProviderFailsWithAClearRecord) {
  TempFolder folder;
  CADODataBase db;
  const std::u16string connection = u"Provider=MSDAORA;Data Source=orcl";
  EXPECT_FALSE(db.Open(connection));
  EXPECT_EQ(db.LastErrorCode(), kErrorFail);
  EXPECT_NE(db.ErrorDescription().find(u"“MSDAORA”"), std::u16string::npos);
  EXPECT_EQ(db.LastErrorText(),
            u"Connection String = " + connection +
                u"\nCADODataBase Error\n\tCode = 80004005\n\tCode meaning = Unspecified error\n\tSource = "
                u"CADODataBase\n\tDescription = " +
                db.ErrorDescription() + u"\n");
}

TEST(CADODataBase, EngineFailuresCarrySqliteCodeAndMessage) {
  TempFolder folder;
  {
    std::ofstream junk(folder / u"junk.db", std::ios::binary);
    junk << std::string(4096, 'x');
  }
  CADODataBase db;
  EXPECT_FALSE(db.Open(ConnectionTo(folder, u"junk.db")));
  EXPECT_EQ(db.LastErrorCode(), static_cast<uint32_t>(SQLITE_NOTADB));
  EXPECT_EQ(db.LastFailure(), DbFailure::Damaged);
  EXPECT_NE(db.LastErrorText().find(u"\tCode = 0000001a\n\tCode meaning = file is not a database\n\tSource = SQLite\n"),
            std::u16string::npos);
  EXPECT_EQ(FailureDetail(db.LastFailure(), db.ErrorDescription()), u"文件不是数据库，或已损坏（file is not a database）");

  EXPECT_FALSE(db.Open(ConnectionTo(folder, u"no such folder/kwo.db")));
  EXPECT_EQ(db.LastErrorCode() & 0xff, static_cast<uint32_t>(SQLITE_CANTOPEN));
  EXPECT_EQ(db.LastFailure(), DbFailure::ReadOnly);
  EXPECT_FALSE(db.IsOpen());
}

// The SQLSTATEs of a server name their refusals as SQLite's codes do (tested
// above and in the import); each refusal has its own words for the user.
TEST(CADODataBase, ServerRefusalsAreNamedAsTheFileEnginesAre) {
  const std::pair<const char16_t*, DbFailure> states[] = {
      {u"08S01", DbFailure::Unreachable}, {u"08001", DbFailure::Unreachable}, {u"57P01", DbFailure::Unreachable},
      {u"40001", DbFailure::Locked},      {u"40P01", DbFailure::Locked},      {u"25006", DbFailure::WriteDenied},
      {u"53100", DbFailure::DiskFull},    {u"23505", DbFailure::Other},       {u"HY000", DbFailure::Other}};
  for (const auto& [state, failure] : states) EXPECT_EQ(OdbcFailure(state), failure) << text::Utf16ToUtf8(state);
  std::set<std::u16string> reasons;
  for (DbFailure failure : {DbFailure::Locked, DbFailure::ReadOnly, DbFailure::WriteDenied, DbFailure::DiskFull,
                            DbFailure::FileMoved, DbFailure::IoError, DbFailure::Damaged, DbFailure::Unreachable}) {
    EXPECT_TRUE(reasons.insert(WriteFailureReason(failure)).second);
  }
  EXPECT_EQ(reasons.count(u""), 0u);
  EXPECT_EQ(WriteFailureReason(DbFailure::Other), u"");
  // Every failure but the unnamed one puts its Chinese reason before the engine's words.
  std::set<std::u16string> details;
  for (DbFailure failure : {DbFailure::Locked, DbFailure::ReadOnly, DbFailure::WriteDenied, DbFailure::DiskFull,
                            DbFailure::FileMoved, DbFailure::IoError, DbFailure::Damaged, DbFailure::Unreachable,
                            DbFailure::LoginRefused, DbFailure::DatabaseMissing}) {
    const std::u16string detail = FailureDetail(failure, u"engine text");
    EXPECT_NE(detail.find(u'（'), 0u);
    EXPECT_TRUE(details.insert(detail.substr(0, detail.find(u'（'))).second);
    EXPECT_EQ(detail.substr(detail.find(u'（')), u"（engine text）");
  }
  EXPECT_EQ(FailureDetail(DbFailure::Other, u"engine text"), u"engine text");
}

TEST(CADODataBase, TransactionsCommitAndRollBack) {
  TempFolder folder;
  CADODataBase db;
  ASSERT_TRUE(db.Open(ConnectionTo(folder, u"kwo.db")));
  ASSERT_TRUE(db.BeginTrans());
  ASSERT_TRUE(InsertEntry(db.Connection(), u"11", u"A", u"kept"));
  ASSERT_TRUE(db.CommitTrans());
  ASSERT_TRUE(db.BeginTrans());
  ASSERT_TRUE(InsertEntry(db.Connection(), u"12", u"B", u"dropped"));
  ASSERT_TRUE(db.RollbackTrans());
  EXPECT_FALSE(db.CommitTrans());  // no transaction is active
  EXPECT_NE(db.LastErrorText().find(u"Source = SQLite"), std::u16string::npos);

  CADORecordset rs;
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  ASSERT_EQ(rs.RecordCount(), 1u);
  std::u16string key;
  rs.FieldText(1, key);
  EXPECT_EQ(key, u"A");

  CADODataBase closed;
  EXPECT_FALSE(closed.BeginTrans());
  EXPECT_EQ(closed.LastErrorCode(), kErrorObjectClosed);
}

// Another process (here: a second connection) holds the write lock.
TEST(CADODataBase, SecondWriterWaitsForTheFirstInsteadOfFailing) {
  TempFolder folder;
  CADODataBase writer;
  ASSERT_TRUE(writer.Open(ConnectionTo(folder, u"kwo.db")));
  ASSERT_TRUE(writer.BeginTrans());
  ASSERT_TRUE(InsertEntry(writer.Connection(), u"11", u"A", u"first"));

  CADODataBase impatient;
  ASSERT_TRUE(impatient.Open(ConnectionTo(folder, u"kwo.db", u";Busy Timeout=0")));
  EXPECT_FALSE(impatient.BeginTrans());
  EXPECT_EQ(impatient.LastErrorCode() & 0xff, static_cast<uint32_t>(SQLITE_BUSY));
  EXPECT_EQ(impatient.LastFailure(), DbFailure::Locked);

  std::mutex mutex;
  std::condition_variable changed;
  bool finished = false;
  bool stored = false;
  std::thread second([&] {
    CADODataBase db;
    bool ok = db.Open(ConnectionTo(folder, u"kwo.db")) && db.BeginTrans() &&
              InsertEntry(db.Connection(), u"12", u"B", u"second") && db.CommitTrans();
    std::lock_guard<std::mutex> lock(mutex);
    stored = ok;
    finished = true;
    changed.notify_all();
  });
  {
    // While the lock is held the second writer can only finish by failing.
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::milliseconds(300), [&] { return finished; });
    EXPECT_FALSE(finished) << "the second writer gave up while the first held the lock";
  }
  ASSERT_TRUE(writer.CommitTrans());
  second.join();
  EXPECT_TRUE(stored);

  CADORecordset rs;
  ASSERT_TRUE(OpenListing(rs, writer.Connection()));
  EXPECT_EQ(rs.RecordCount(), 2u);
}

}  // namespace
}  // namespace kwo::store
