#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "support/TempDatabase.h"
#include "store/ContentIndexFiller.h"
#include "store/ContentSearch.h"
#include "store/ShorthandTable.h"

namespace kwo::store {
namespace {

using testing::ConnectionTo;
using testing::InsertEntry;
using testing::TempFolder;

TEST(ContentSearchWords, SplitAtAnyWhiteSpaceAndRankKeys) {
  EXPECT_EQ(SearchWords(u"  地址 abc\u3000电话\t"), (std::vector<std::u16string>{u"地址", u"abc", u"电话"}));
  EXPECT_TRUE(SearchWords(u" \u3000 ").empty());
  struct Case {
    std::u16string key, text;
    int rank;
  } cases[] = {{u"AB", u"ab", 0}, {u"AB", u" AB ", 0}, {u"ABC", u"ab", 1}, {u"XAB", u"ab", 2},
               {u"A", u"ab", 2},   {u"AB", u"", 2},     {u"AB", u"a b", 2}};
  for (const Case& c : cases) EXPECT_EQ(KeyRank(c.key, c.text), c.rank) << std::string(c.key.begin(), c.key.end());
}

// The search against a plain reading of every row, on random tables and
// random texts, while rows are added, changed and deleted through the
// recordset (as the edit dialog and the import write them) and by plain SQL.
class ContentSearchTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(db.Open(ConnectionTo(folder, u"kwo.db"))); }

  std::u16string RandomText(size_t most) {
    static const std::u16string pieces[] = {u"a", u"B", u"c", u"地", u"址", u"电", u"话", u"%", u"_", u" ", u"\r\n"};
    std::u16string text;
    for (size_t n = rng() % (most + 1); n > 0; --n) text += pieces[rng() % std::size(pieces)];
    return text;
  }
  std::u16string RandomKey() {
    static const char16_t digits[] = u"AB12C";
    std::u16string key;
    for (size_t n = 1 + rng() % 3; n > 0; --n) key += digits[rng() % 5];
    return key;
  }

  // Every row, then the rule: each word in key or content, ASCII letters in any case.
  std::vector<int64_t> Expected(const std::u16string& text) {
    auto lower = [](std::u16string s) {
      for (char16_t& c : s) c = (c >= u'A' && c <= u'Z') ? c + 0x20 : c;
      return s;
    };
    CADORecordset rs;
    EXPECT_TRUE(OpenListing(rs, db.Connection()));
    std::vector<FoundEntry> all;
    for (; !rs.AtEnd(); rs.MoveNext()) {
      FoundEntry entry;
      std::u16string id;
      rs.FieldText(0, id);
      rs.FieldText(1, entry.shortKey);
      rs.FieldText(2, entry.content);
      entry.id = std::stoll(std::string(id.begin(), id.end()));
      bool all_words = true;
      for (const std::u16string& word : SearchWords(text)) {
        all_words = all_words && (lower(entry.shortKey).find(lower(word)) != std::u16string::npos ||
                                  lower(entry.content).find(lower(word)) != std::u16string::npos);
      }
      if (all_words && !SearchWords(text).empty()) all.push_back(entry);
    }
    std::stable_sort(all.begin(), all.end(), [&text](const FoundEntry& a, const FoundEntry& b) {
      return KeyRank(a.shortKey, text) < KeyRank(b.shortKey, text);
    });
    std::vector<int64_t> ids;
    for (size_t i = 0; i < all.size() && i < 37; ++i) ids.push_back(all[i].id);
    return ids;
  }

  std::vector<int64_t> Found(const std::u16string& text) {
    std::vector<FoundEntry> found;
    DbError error;
    EXPECT_TRUE(search.Find(db.Connection(), text, found, error)) << kwo::text::Utf16ToUtf8(error.description);
    std::vector<int64_t> ids;
    for (const FoundEntry& entry : found) ids.push_back(entry.id);
    return ids;
  }

  void CompareOnRandomTexts(int rounds) {
    for (int i = 0; i < rounds; ++i) {
      std::u16string text = RandomText(4);
      if (rng() % 4 == 0) text = RandomKey();
      ASSERT_EQ(Found(text), Expected(text)) << "text #" << i;
    }
  }

  void Store(const std::u16string& key, const std::u16string& content) {
    CADORecordset rs;
    ASSERT_TRUE(OpenLookup(rs, db.Connection(), ShortKeyId(key)));
    if (rs.RecordCount() == 0) {
      rs.AddNew();
      rs.SetFieldText(0, IdText(ShortKeyId(key)));
      rs.SetFieldText(1, key);
    } else {
      rs.BeginEdit();
    }
    rs.SetFieldText(2, content);
    ASSERT_TRUE(rs.Update());
  }

  std::mt19937 rng{14};
  TempFolder folder;
  CADODataBase db;
  ContentSearch search;
};

TEST_F(ContentSearchTest, AgreesWithReadingEveryRowWhileRowsChange) {
  for (int i = 0; i < 150; ++i) Store(RandomKey(), RandomText(12));
  DbSession& session = *db.Connection()->Session();
  DbError error;
  // Filled a few rows at a time while rows are added, changed and deleted on
  // both sides of the mark; until it is whole the table is scanned.
  IndexFill fill = IndexFill::More;
  int parts = 0;
  while ((fill = FillContentIndex(session, 7, error)) == IndexFill::More) {
    ++parts;
    for (int i = 0; i < 5; ++i) Store(RandomKey(), RandomText(12));
    ASSERT_TRUE(session.Execute(u"delete from kwo where id = (select id from kwo order by random() limit 1)", error));
    CompareOnRandomTexts(10);
    EXPECT_FALSE(search.UsedIndex());
  }
  ASSERT_EQ(fill, IndexFill::Ready);
  EXPECT_GT(parts, 5);
  ASSERT_TRUE(session.Execute(u"insert into kwo_search(kwo_search) values ('integrity-check')", error))
      << std::string(error.description.begin(), error.description.end());
  CompareOnRandomTexts(300);
  Found(u"地址");
  EXPECT_TRUE(search.UsedIndex());  // two-character words use it too

  for (int i = 0; i < 100; ++i) Store(RandomKey(), RandomText(12));  // new and changed rows
  for (int i = 0; i < 20; ++i) {
    CADORecordset rs;
    ASSERT_TRUE(OpenLookup(rs, db.Connection(), ShortKeyId(RandomKey())));
    if (rs.RecordCount() > 0) {
      ASSERT_TRUE(rs.Delete());
    }
  }
  ASSERT_TRUE(db.Connection()->Session()->Execute(
      u"update kwo set content = content || '电话' where id % 3 = 0; delete from kwo where id % 7 = 0", error));
  CompareOnRandomTexts(300);

  ASSERT_TRUE(session.Execute(u"insert into kwo_search(kwo_search) values ('integrity-check')", error));

  // Dropped behind the program's back: after the failed search the table is scanned until it is made again.
  ASSERT_TRUE(db.Connection()->Session()->Execute(
      u"drop trigger kwo_search_insert; drop trigger kwo_search_delete; drop trigger kwo_search_update;"
      u"drop table kwo_search",
      error));
  std::vector<FoundEntry> ignored;
  search.Find(db.Connection(), u"地址", ignored, error);
  CompareOnRandomTexts(50);
  EXPECT_FALSE(search.UsedIndex());
  ASSERT_TRUE(EnsureContentIndex(session, error));
  CompareOnRandomTexts(50);
  Found(u"地址");
  EXPECT_TRUE(search.UsedIndex());

  // A second connection opens the database with the index already in place.
  CADODataBase again;
  ASSERT_TRUE(again.Open(ConnectionTo(folder, u"kwo.db")));
  ContentSearch other;
  std::vector<FoundEntry> found;
  ASSERT_TRUE(other.Find(again.Connection(), u"地址", found, error));
  EXPECT_TRUE(other.UsedIndex());
  EXPECT_EQ(found.size(), Expected(u"地址").size());
}

// The filler's own thread and connection against this connection's writes:
// stopped midway it leaves the mark for the next start, which completes the
// index while rows change; no write here fails for the overlap.
TEST_F(ContentSearchTest, FillerThreadStopsMidwayAndGoesOnWhileRowsChange) {
  for (int i = 0; i < 150; ++i) Store(RandomKey(), RandomText(12));
  auto marks = [this] {
    CADORecordset rs;
    std::u16string count;
    if (!rs.Open(db.Connection(), u"select count(*) from kwo_search_fill") || !rs.FieldText(0, count)) return -1;
    return std::stoi(std::string(count.begin(), count.end()));
  };
  IndexFillPace pace;
  pace.delayMs = 0;
  pace.periodMs = 600000;  // stopped while it waits for its second part
  pace.rows = 7;
  ContentIndexFiller filler;
  filler.Start(ConnectionTo(folder, u"kwo.db"), pace);
  while (marks() != 1) std::this_thread::yield();
  filler.Stop();
  EXPECT_TRUE(filler.Finished());
  EXPECT_EQ(filler.Outcome(), IndexFill::More);
  EXPECT_EQ(marks(), 1);

  pace.periodMs = 1;
  pace.retryMs = 1;
  pace.mostFailures = 1000;
  filler.Start(ConnectionTo(folder, u"kwo.db"), pace);
  DbError error;
  int writes = 0;
  for (; !filler.Finished() && writes < 20000; ++writes) {
    Store(RandomKey(), RandomText(12));
    ASSERT_TRUE(db.Connection()->Session()->Execute(
        u"delete from kwo where id = (select id from kwo order by random() limit 1)", error));
  }
  // On a busy machine the writes may keep every part out; once they stop, the fill ends.
  for (int waited = 0; !filler.Finished() && waited < 60000; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  filler.Stop();
  ASSERT_EQ(filler.Outcome(), IndexFill::Ready);
  EXPECT_GT(writes, 0);
  EXPECT_EQ(marks(), 0);
  ASSERT_TRUE(db.Connection()->Session()->Execute(u"insert into kwo_search(kwo_search) values ('integrity-check')",
                                                  error));
  Store(u"C1", u"地址电话");
  CompareOnRandomTexts(200);
  Found(u"地址");
  EXPECT_TRUE(search.UsedIndex());
}

// The window's reads take no wait for another program's lock here, so any
// meeting with the filler's write lock would fail one: none may, while the
// filler indexes a large table in many parts.
TEST_F(ContentSearchTest, WindowReadsNeverMeetTheFillersWriteLock) {
  DbError error;
  DbSession& session = *db.Connection()->Session();
  ASSERT_TRUE(session.Execute(
      u"with recursive n(i) as (select 1 union all select i + 1 from n where i < 12000) "
      u"insert into kwo(id, shortkey, content) select i, 'K' || i, '第' || i || '条 content ' || i from n",
      error));
  IndexFillPace pace;
  pace.delayMs = 0;
  pace.periodMs = 0;
  pace.retryMs = 1;
  pace.rows = 300;
  ContentIndexFiller filler;
  filler.Start(ConnectionTo(folder, u"kwo.db"), pace);
  session.SetBusyTimeout(0);
  int reads = 0, failures = 0;
  std::u16string failure;
  const std::u16string texts[] = {u"K1", u"条 con", u"11999", u"ent 7"};
  for (; !filler.Finished() && reads < 200000; ++reads) {
    const auto held = filler.HoldCommits();
    CADORecordset rs;
    std::vector<FoundEntry> found;
    const std::u16string& text = texts[reads % std::size(texts)];
    if (!OpenLookup(rs, db.Connection(), ShortKeyId(u"K1")) || !OpenPrefix(rs, db.Connection(), u"K1") ||
        !search.Find(db.Connection(), text, found, error)) {
      ++failures;
      failure = error.description + rs.LastErrorText();
    }
  }
  filler.Stop();
  EXPECT_EQ(failures, 0) << reads << " reads; " << kwo::text::Utf16ToUtf8(failure);
  EXPECT_EQ(filler.Outcome(), IndexFill::Ready);
  EXPECT_GT(reads, 10);
}

// A database file renamed or deleted before the filler's start is not made anew.
TEST_F(ContentSearchTest, FillerLeavesAMissingFileMissing) {
  IndexFillPace pace;
  pace.delayMs = 0;
  ContentIndexFiller filler;
  filler.Start(ConnectionTo(folder, u"gone.db"), pace);
  while (!filler.Finished()) std::this_thread::yield();
  EXPECT_EQ(filler.Outcome(), IndexFill::Failed);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "gone.db"));
}

TEST_F(ContentSearchTest, TableWithoutIntegerKeyIsScannedWithTheSameResults) {
  DbError error;
  ASSERT_TRUE(db.Connection()->Session()->Execute(
      u"drop table kwo; create table kwo(id NUMERIC, shortkey TEXT, content TEXT)", error));
  std::set<std::u16string> keys;
  while (keys.size() < 60) {
    const std::u16string key = RandomKey();
    if (keys.insert(key).second) {
      ASSERT_TRUE(InsertEntry(db.Connection(), IdText(ShortKeyId(key)), key, RandomText(10)));
    }
  }
  EXPECT_EQ(FillContentIndex(*db.Connection()->Session(), kIndexFillRows, error), IndexFill::Unavailable);
  CompareOnRandomTexts(100);
  EXPECT_FALSE(search.UsedIndex());
}

// The same agreement on every engine, where servers are asked for no more
// rows than the search reads.
class ContentSearchEnginesTest : public ContentSearchTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(testing::FreshDatabase(GetParam(), folder))) << kwo::text::Utf16ToUtf8(db.LastErrorText());
  }
};

TEST_P(ContentSearchEnginesTest, AgreesWithReadingEveryRow) {
  for (int i = 0; i < 120; ++i) Store(RandomKey(), RandomText(6));
  CompareOnRandomTexts(120);
}

// Contents holding a backslash are stored escaped: they are found as the
// user reads them. Case is ignored in every script that has it.
TEST_P(ContentSearchEnginesTest, FindsWhatTheUserReadsInAnyCase) {
  const std::pair<std::u16string, std::u16string> entries[] = {
      {u"P1", u"C:\\\\path\\\\file.txt"}, {u"P2", u"\\{ENTER} 花括号"}, {u"P3", u"École Française"},
      {u"P4", u"ＡＢＣ全角"},              {u"P5", u"Москва ΣΟΦΊΑ"},       {u"P6", u"Ереван Հայաստան"},
      {u"P7", u"\\{100} 50%_折 \\\\9"}};
  for (const auto& [key, content] : entries) Store(key, content);
  const bool server = GetParam() == "PostgreSQL";
  struct Case {
    std::u16string text;
    std::vector<int64_t> found;
    bool onEveryEngine;  // ODBC's SQLite driver ignores the case of Latin letters A-Z only
  } cases[] = {
      {u"C:\\path", {ShortKeyId(u"P1")}, true},        {u"path\\file", {ShortKeyId(u"P1")}, true},
      {u"{ENTER} 花括号", {ShortKeyId(u"P2")}, true},    {u"école", {ShortKeyId(u"P3")}, false},
      {u"FRANÇAISE", {ShortKeyId(u"P3")}, false},        {u"ａｂｃ", {ShortKeyId(u"P4")}, false},
      {u"москва σοφία", {ShortKeyId(u"P5")}, false},     {u"ЕРЕВАН", {ShortKeyId(u"P6")}, false},
      {u"հԱՅԱՍՏԱՆ", {ShortKeyId(u"P6")}, false},
      // Words without a letter (found on PostgreSQL by position, not by ilike).
      {u"{100}", {ShortKeyId(u"P7")}, true},             {u"50%_折", {ShortKeyId(u"P7")}, true},
      {u"%_", {ShortKeyId(u"P7")}, true},                {u"\\9", {ShortKeyId(u"P7")}, true},
      {u"0%%", {}, true},                                 {u"_折 9", {ShortKeyId(u"P7")}, true},
  };
  for (const Case& c : cases) {
    if (!c.onEveryEngine && GetParam() == "OdbcSqlite") continue;
    if (server && c.text == u"հԱՅԱՍՏԱՆ") continue;
    EXPECT_EQ(Found(c.text), c.found) << kwo::text::Utf16ToUtf8(c.text);
  }
  // The same through the content index, in a file of our own.
  DbError error;
  if (GetParam() != "Sqlite") return;
  ASSERT_TRUE(EnsureContentIndex(*db.Connection()->Session(), error));
  for (const Case& c : cases) EXPECT_EQ(Found(c.text), c.found) << "indexed: " << kwo::text::Utf16ToUtf8(c.text);
  Found(u"Française");
  EXPECT_TRUE(search.UsedIndex());
}

INSTANTIATE_TEST_SUITE_P(Engines, ContentSearchEnginesTest, ::testing::ValuesIn(testing::TestEngines()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace kwo::store
