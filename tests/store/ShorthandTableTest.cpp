#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <thread>
#include <set>
#include <vector>

#include "support/TempDatabase.h"
#include "store/EntryUpsert.h"
#include "store/OdbcEngine.h"
#include "store/ShorthandTable.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

using testing::InsertEntry;
using testing::ConnectionTo;
using testing::FreshDatabase;
using testing::TempFolder;

class ShorthandTableTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db.Open(FreshDatabase(GetParam(), folder))) << kwo::text::Utf16ToUtf8(db.LastErrorText());
    rs.SetConnection(db.Connection());
  }

  void Add(const std::u16string& key, const std::u16string& content = u"") {
    CADORecordset writer;
    ASSERT_TRUE(SaveEntry(writer, db.Connection(), key, content.empty() ? u"<" + key + u">" : content));
  }

  // The keys of the prefix listing, read the way the main dialog reads them.
  std::vector<std::u16string> Listed(std::u16string_view key) {
    std::vector<std::u16string> keys;
    if (!OpenPrefix(rs, db.Connection(), key)) return {u"<open failed>"};
    const uint32_t n = rs.RecordCount();
    for (uint32_t i = 0; i < n; ++i) {
      std::u16string text;
      rs.FieldText(1, text);
      keys.push_back(text);
      rs.MoveNext();
    }
    rs.Close();
    return keys;
  }

  std::u16string LookedUp(const std::u16string& key) {
    std::u16string content;
    if (OpenLookup(rs, db.Connection(), ShortKeyId(key)) && rs.RecordCount() > 0) rs.FieldText(2, content);
    return content;
  }

  // Under Wine the host's shell stops and starts the test server on its own
  // time: a test that restarted it waits (at most 20 s) until it answers.
  void WaitForServerUnderWine() {
#ifdef _WIN32
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      db.Connection()->Session()->SkipRetryPause();
      if (OpenLookup(rs, db.Connection(), ShortKeyId(u"A"))) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
#endif
  }

  TempFolder folder;
  CADODataBase db;
  CADORecordset rs;
};

TEST_P(ShorthandTableTest, IdsAboveTheSignedRangeAreStoredAndFoundAsUnsignedText) {
  Add(u"ZZZZZZ", u"last");
  Add(u"TYTZAL", u"first above");
  Add(u"TYTZAK", u"last below");
  EXPECT_EQ(LookedUp(u"ZZZZZZ"), u"last");
  EXPECT_EQ(LookedUp(u"TYTZAL"), u"first above");
  EXPECT_EQ(LookedUp(u"TYTZAK"), u"last below");
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), 2565726408u));
  std::u16string id;
  ASSERT_TRUE(rs.FieldText(0, id));
  EXPECT_EQ(id, u"2565726408");
  EXPECT_EQ(Listed(u"T"), (std::vector<std::u16string>{u"TYTZAK", u"TYTZAL"}));
}

TEST_P(ShorthandTableTest, ExactLookupFindsOnlyTheWholeKey) {
  Add(u"AB");
  Add(u"ABC");
  EXPECT_EQ(LookedUp(u"AB"), u"<AB>");
  EXPECT_EQ(LookedUp(u"A"), u"");
  EXPECT_EQ(LookedUp(u"ab"), u"");  // id 0
  EXPECT_EQ(LookedUp(u"ABC"), u"<ABC>");
}

TEST_P(ShorthandTableTest, PrefixListsExactMatchFirstThenLongerKeysDigitsBeforeLetters) {
  for (const char16_t* key : {u"B", u"AZ", u"A0", u"A", u"AA", u"A9", u"A00", u"ZZZZZZ", u"AZZZZZ", u"0"}) Add(key);
  EXPECT_EQ(Listed(u"A"), (std::vector<std::u16string>{u"A", u"A0", u"A9", u"AA", u"AZ", u"A00", u"AZZZZZ"}));
  EXPECT_EQ(Listed(u"A0"), (std::vector<std::u16string>{u"A0", u"A00"}));
  EXPECT_EQ(Listed(u""), (std::vector<std::u16string>{u"0", u"A", u"B", u"A0", u"A9", u"AA", u"AZ", u"A00",
                                                      u"AZZZZZ", u"ZZZZZZ"}));
  EXPECT_TRUE(Listed(u"C").empty());
  EXPECT_TRUE(Listed(u"AZZZZZZ").empty());
}

TEST_P(ShorthandTableTest, PrefixListingStopsAt37Rows) {
  ASSERT_TRUE(db.BeginTrans());
  const std::u16string digits = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (char16_t a : digits) {
    for (char16_t b : std::u16string(u"0123")) Add(std::u16string(u"Q") + a + b);  // 144 keys of length 3
  }
  for (char16_t a : digits) Add(std::u16string(u"Q") + a);  // 36 keys of length 2
  ASSERT_TRUE(db.CommitTrans());

  const std::vector<std::u16string> listed = Listed(u"Q");
  ASSERT_EQ(listed.size(), 37u);
  for (size_t i = 0; i < 36; ++i) EXPECT_EQ(listed[i], std::u16string(u"Q") + digits[i]);
  EXPECT_EQ(listed[36], u"Q00");
  EXPECT_EQ(Listed(u"").size(), 37u);
}

TEST_P(ShorthandTableTest, PastedQuotesAndPercentListNothingAndBreakNothing) {
  Add(u"A");
  Add(u"AB");
  for (const char16_t* key : {u"\"", u"A\"", u"'", u"A'", u"%", u"A%", u"_", u"A\" or \"\"=\"", u"A'; drop table kwo; --",
                              u"\u4e2d", u"a"}) {
    EXPECT_TRUE(Listed(key).empty()) << std::string(key, key + std::char_traits<char16_t>::length(key)).size();
  }
  EXPECT_EQ(Listed(u"A").size(), 2u);
}

TEST_P(ShorthandTableTest, KeysWithOtherCharactersAreMatchedAsText) {
  Add(u"AB-1");  // pasted: shares the id of "AB"
  Add(u"A\"Q");
  Add(u"中文");
  EXPECT_EQ(Listed(u"AB-"), (std::vector<std::u16string>{u"AB-1"}));
  EXPECT_EQ(Listed(u"AB"), (std::vector<std::u16string>{u"AB-1"}));
  EXPECT_EQ(Listed(u"A\""), (std::vector<std::u16string>{u"A\"Q"}));
  EXPECT_EQ(Listed(u"中"), (std::vector<std::u16string>{u"中文"}));
}

TEST_P(ShorthandTableTest, ChineseAndEmojiContentRoundTrips) {
  const std::u16string content = u"您好，世界！\r\n{ENTER}😀 \U0001F468\u200D\U0001F469 end";
  Add(u"NH", content);
  EXPECT_EQ(LookedUp(u"NH"), content);
  ASSERT_TRUE(OpenPrefix(rs, db.Connection(), u"N"));
  std::u16string text;
  ASSERT_TRUE(rs.FieldText(2, text));
  EXPECT_EQ(text, content);
}

// The steps of the edit dialog's save and of import: look up, then insert or
// change only the content.
TEST_P(ShorthandTableTest, SaveAndImportKeepOneRowPerId) {
  auto save = [&](const std::u16string& key, const std::u16string& content) {
    EXPECT_TRUE(SaveEntry(rs, db.Connection(), key, content));
    EXPECT_FALSE(rs.IsOpen());
  };
  save(u"ZZZZZZ", u"one");
  save(u"ZZZZZZ", u"two");
  save(u"A", u"three");
  EXPECT_EQ(LookedUp(u"ZZZZZZ"), u"two");
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  EXPECT_EQ(rs.RecordCount(), 2u);
  rs.Close();

  // The import's batches: an id twice in one batch and again in the next
  // keeps its first key and takes the last content, as row by row.
  ASSERT_TRUE(InsertEntry(db.Connection(), IdText(ShortKeyId(u"C")), u"c", u"stored"));  // a key not its id's
  const auto upsert = EntryUpsert::Prepare(db.Connection());
  ASSERT_TRUE(upsert);
  ASSERT_TRUE(db.BeginTrans());
  DbError error;
  ASSERT_TRUE(upsert->Store(ShortKeyId(u"B"), u"B", u"first", error));
  ASSERT_TRUE(upsert->Store(ShortKeyId(u"C"), u"C", u"imported", error));
  ASSERT_TRUE(upsert->Store(ShortKeyId(u"B"), u"b", u"second", error));
  // Texts that a batch's encoding must carry unchanged.
  const std::vector<std::u16string> texts{u"", u"NULL", u"null", u"\"", u"\\", u"\\\"", u"a\\", u"{}", u"{a,b}",
                                          u"a,b", u" spaced ", u"'", u"{NULL}", u"中文，逗号", u"😀\U0001F468\u200D",
                                          u"\r\n\t", u"ARRAY[1]", u"$1", u"?"};
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::u16string key = u"T" + text::Ascii(std::to_string(i));
    ASSERT_TRUE(upsert->Store(ShortKeyId(key), texts[i] + key, texts[i], error));
  }
  const size_t batch = upsert->BatchRows();
  for (size_t i = 0; i < batch; ++i) {
    const std::u16string key = u"K" + text::Ascii(std::to_string(100 + i));
    ASSERT_TRUE(upsert->Store(ShortKeyId(key), key, key, error)) << text::Utf16ToUtf8(error.description);
  }
  ASSERT_TRUE(upsert->Store(ShortKeyId(u"B"), u"B", u"third", error));
  ASSERT_TRUE(upsert->Flush(error)) << text::Utf16ToUtf8(error.description);
  ASSERT_TRUE(db.CommitTrans());
  EXPECT_EQ(Listed(u"B"), (std::vector<std::u16string>{u"B"}));
  EXPECT_EQ(LookedUp(u"B"), u"third");
  EXPECT_EQ(LookedUp(u"K349"), u"K349");
  EXPECT_EQ(LookedUp(u"C"), u"imported");
  EXPECT_EQ(Listed(u"C"), std::vector<std::u16string>());  // still under its own key "c"
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::u16string key = u"T" + text::Ascii(std::to_string(i));
    ASSERT_TRUE(OpenLookup(rs, db.Connection(), ShortKeyId(key)));
    std::u16string storedKey, content;
    EXPECT_TRUE(rs.FieldText(kColumnKey, storedKey));
    EXPECT_TRUE(rs.FieldText(kColumnContent, content));
    EXPECT_EQ(storedKey, texts[i] + key) << i;
    EXPECT_EQ(content, texts[i]) << i;
    rs.Close();
  }
  ASSERT_TRUE(OpenListing(rs, db.Connection()));
  EXPECT_EQ(rs.RecordCount(), 4u + texts.size() + batch);
  rs.Close();

  // Export's reading: every row once, in id order, the texts unchanged.
  std::vector<std::pair<std::u16string, std::u16string>> read;
  ASSERT_TRUE(ReadEntries(db.Connection(), [&](const std::u16string& k, const std::u16string& c) { read.emplace_back(k, c); },
                          error));
  ASSERT_EQ(read.size(), 4u + texts.size() + batch);
  std::vector<uint32_t> ids;  // of the rows stored under their own keys
  for (const auto& [k, c] : read) {
    if (k.size() > 1 && k[0] == u'K') ids.push_back(ShortKeyId(k));
  }
  EXPECT_EQ(ids.size(), batch);
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  EXPECT_EQ(std::count(read.begin(), read.end(), std::make_pair(texts[4] + u"T4", texts[4])), 1);

  // Whatever the driver would undo on an error (nothing, the transaction,
  // the statement), an import whose second batch meets a stored key stores
  // both batches.
  if (GetParam() != "PostgreSQL") return;
  for (const char16_t level : std::u16string(u"012")) {
    CADODataBase other;
    ASSERT_TRUE(other.Open(db.ConnectionString() + u";Protocol=7.4-" + level));
    const auto levelled = EntryUpsert::Prepare(other.Connection());
    ASSERT_TRUE(levelled);
    ASSERT_TRUE(other.BeginTrans());
    const std::u16string prefix(1, static_cast<char16_t>(u'X' + (level - u'0'))), content(1, level);
    bool stored = true;
    for (size_t i = 0; i < batch && stored; ++i) {
      const std::u16string key = prefix + text::Ascii(std::to_string(10000 + i));
      stored = levelled->Store(ShortKeyId(key), key, content, error);
    }
    stored = stored && levelled->Store(ShortKeyId(u"B"), u"B", content, error) && levelled->Flush(error);
    stored = stored ? other.CommitTrans() : !other.RollbackTrans() && false;
    EXPECT_EQ(LookedUp(prefix + u"10000"), stored ? content : u"") << static_cast<char>(level);
    EXPECT_EQ(LookedUp(u"B") == content, stored) << static_cast<char>(level);
    EXPECT_TRUE(stored) << static_cast<char>(level) << text::Utf16ToUtf8(error.description);
  }
  // The same into an empty table, whose second batch repeats a key of the first.
  for (const char16_t level : std::u16string(u"012")) {
    ASSERT_TRUE(db.Connection()->Session()->Execute(u"delete from kwo", error));
    CADODataBase other;
    ASSERT_TRUE(other.Open(db.ConnectionString() + u";Protocol=7.4-" + level));
    const auto levelled = EntryUpsert::Prepare(other.Connection());
    ASSERT_TRUE(levelled);
    ASSERT_TRUE(other.BeginTrans());
    bool stored = true;
    for (size_t i = 0; i < batch && stored; ++i) {
      const std::u16string key = u"E" + text::Ascii(std::to_string(10000 + i));
      stored = levelled->Store(ShortKeyId(key), key, u"first", error);
    }
    stored = stored && levelled->Store(ShortKeyId(u"E10000"), u"E10000", u"again", error) && levelled->Flush(error);
    stored = stored ? other.CommitTrans() : !other.RollbackTrans() && false;
    EXPECT_TRUE(stored) << static_cast<char>(level) << text::Utf16ToUtf8(error.description);
    EXPECT_EQ(LookedUp(u"E10000"), stored ? u"again" : u"") << static_cast<char>(level);
  }
}

// A server that takes no writes: the save and the import's batch both say so.
TEST_P(ShorthandTableTest, WritesTheServerRefusesAreNamed) {
  if (GetParam() != "PostgreSQL") GTEST_SKIP() << "needs a database server";
  DbError error;
  ASSERT_TRUE(db.Connection()->Session()->Execute(u"set session characteristics as transaction read only", error));
  EXPECT_FALSE(SaveEntry(rs, db.Connection(), u"RO", u"refused"));
  EXPECT_EQ(rs.LastFailure(), DbFailure::WriteDenied) << text::Utf16ToUtf8(rs.ErrorDescription());
  const auto upsert = EntryUpsert::Prepare(db.Connection());
  ASSERT_TRUE(upsert);
  ASSERT_TRUE(db.BeginTrans());
  EXPECT_FALSE(upsert->Store(ShortKeyId(u"RO"), u"RO", u"refused", error) && upsert->Flush(error));
  EXPECT_EQ(error.failure, DbFailure::WriteDenied) << text::Utf16ToUtf8(error.description);
  db.RollbackTrans();
}

// The range-scan listing must give exactly what the plain filtered scan gives.
TEST_P(ShorthandTableTest, RangeListingEqualsPlainScanOnARandomTable) {
  std::mt19937 random(20261207);
  const std::u16string alphabet = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  // Few letters make long shared prefixes likely.
  auto randomKey = [&](int letters) {
    std::u16string key;
    const int length = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < length; ++i) key += alphabet[random() % static_cast<unsigned>(letters)];
    return key;
  };
  std::set<std::u16string> keys;
  while (keys.size() < 3000) keys.insert(randomKey(keys.size() < 1500 ? 4 : 36));
  ASSERT_TRUE(db.BeginTrans());
  for (const auto& key : keys) Add(key);
  ASSERT_TRUE(db.CommitTrans());

  auto plain = [&](const std::u16string& key) {
    std::vector<std::u16string> result;
    CADORecordset scan;
    EXPECT_TRUE(scan.Open(db.Connection(), u"select * from kwo where substr(shortkey,1,?2)=?1 order by id limit 37",
                          kStatementDefault, {DbValue(key), DbValue(static_cast<int64_t>(key.size()))}));
    while (!scan.AtEnd()) {
      std::u16string text;
      scan.FieldText(1, text);
      result.push_back(text);
      scan.MoveNext();
    }
    return result;
  };
  std::vector<std::u16string> probes{u"", u"0", u"3", u"Z", u"00", u"0123", u"ZZZZZZ"};
  for (int i = 0; i < 300; ++i) probes.push_back(randomKey(i % 2 ? 4 : 36));
  for (const auto& probe : probes) {
    const auto expected = plain(probe);
    EXPECT_EQ(Listed(probe), expected) << probe.size();
  }
}

// Two users on one table: both find the key missing and add it; the one who
// saves second writes over the first instead of failing. A search beside an
// import that has not committed sees the table as it was, and then the import.
TEST_P(ShorthandTableTest, TwoCopiesOnOneTableRaceAndSearchBesideAnImport) {
  CADODataBase other;
  ASSERT_TRUE(other.Open(db.ConnectionString()));
  CADORecordset mine, theirs;
  ASSERT_TRUE(OpenLookup(mine, db.Connection(), ShortKeyId(u"RACE")));
  ASSERT_TRUE(OpenLookup(theirs, other.Connection(), ShortKeyId(u"RACE")));
  ASSERT_TRUE(mine.AtEnd());
  ASSERT_TRUE(theirs.AtEnd());
  for (CADORecordset* rs2 : {&mine, &theirs}) {
    ASSERT_TRUE(rs2->AddNew());
    rs2->SetFieldText(kColumnId, IdText(ShortKeyId(u"RACE")));
    rs2->SetFieldText(kColumnKey, u"RACE");
    rs2->SetFieldText(kColumnContent, rs2 == &mine ? u"mine" : u"theirs");
    EXPECT_TRUE(rs2->Update()) << text::Utf16ToUtf8(rs2->LastErrorText());
    rs2->Close();
  }
  EXPECT_EQ(LookedUp(u"RACE"), u"theirs");
  EXPECT_EQ(Listed(u"RACE"), (std::vector<std::u16string>{u"RACE"}));

  if (GetParam() != "PostgreSQL") return;  // SQLite takes one writer at a time: readers wait for its commit
  ASSERT_TRUE(other.BeginTrans());
  ASSERT_TRUE(InsertEntry(other.Connection(), IdText(ShortKeyId(u"IMP")), u"IMP", u"imported"));
  EXPECT_EQ(LookedUp(u"IMP"), u"");
  EXPECT_EQ(LookedUp(u"RACE"), u"theirs");
  ASSERT_TRUE(other.CommitTrans());
  EXPECT_EQ(LookedUp(u"IMP"), u"imported");

  // An import's batch meets a row another copy added and has not committed:
  // it waits no longer than the window may be kept waiting, is cancelled
  // there and fails as held by another program, its transaction writing
  // nothing; once the other copy has committed, the import takes the row over.
  ASSERT_TRUE(other.BeginTrans());
  ASSERT_TRUE(InsertEntry(other.Connection(), IdText(ShortKeyId(u"LATE")), u"LATE", u"theirs"));
  const auto import = [&](DbError& flushError) {
    EXPECT_TRUE(db.BeginTrans());
    const auto upsert = EntryUpsert::Prepare(db.Connection());
    const bool flushed = upsert && upsert->Store(ShortKeyId(u"NEW"), u"NEW", u"new", flushError) &&
                         upsert->Store(ShortKeyId(u"LATE"), u"LATE", u"mine", flushError) && upsert->Flush(flushError);
    if (flushed) return db.CommitTrans();
    db.RollbackTrans();
    return false;
  };
  DbError flushError;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(import(flushError));
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  std::printf("an import's batch waiting for another copy's row was cancelled after %lld ms\n",
              static_cast<long long>(waited.count()));
  EXPECT_EQ(flushError.failure, DbFailure::Locked) << text::Utf16ToUtf8(flushError.description);
  EXPECT_GE(waited.count(), 1000);
  EXPECT_EQ(LookedUp(u"NEW"), u"");
  ASSERT_TRUE(other.CommitTrans());
  EXPECT_EQ(LookedUp(u"LATE"), u"theirs");
  flushError = DbError();
  EXPECT_TRUE(import(flushError)) << text::Utf16ToUtf8(flushError.description);
  EXPECT_EQ(LookedUp(u"LATE"), u"mine");
  EXPECT_EQ(LookedUp(u"NEW"), u"new");
}

// The server stops under a running program and comes back: searches show
// nothing meanwhile and say the server is away; a save fails and says so;
// afterwards everything works again on a new connection, without a restart.
TEST_P(ShorthandTableTest, ServerStoppedAndRestartedIsSurvived) {
  if (GetParam() != "PostgreSQL") GTEST_SKIP() << "needs a database server";
  const char* script = std::getenv("KWO_PG_CLUSTER_SCRIPT");
  ASSERT_NE(script, nullptr);
#ifdef _WIN32
  const std::string shell = "start /wait /unix /bin/bash ";  // under Wine: the host's shell
#else
  const std::string shell = "bash ";
#endif
  Add(u"A");
  ASSERT_EQ(LookedUp(u"A"), u"<A>");
  ASSERT_EQ(std::system((shell + script + " pause").c_str()), 0);
  // Under Wine the host's shell may still be stopping the server.
  for (int i = 0; i < 100 && !LookedUp(u"A").empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(LookedUp(u"A"), u"");
  EXPECT_EQ(Listed(u"A"), std::vector<std::u16string>{u"<open failed>"});
  EXPECT_TRUE(db.ServerAway());
  EXPECT_FALSE(InsertEntry(db.Connection(), IdText(ShortKeyId(u"B")), u"B", u"lost?"));
  // A copy that starts now opens all the same, knowing the server is away.
  CADODataBase starting;
  EXPECT_TRUE(starting.Open(db.ConnectionString()));
  EXPECT_TRUE(starting.ServerAway());
  ASSERT_EQ(std::system((shell + script + " resume").c_str()), 0);
  std::u16string found;
  for (int i = 0; i < 100 && found.empty(); ++i) {
    found = LookedUp(u"A");
    if (found.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  EXPECT_EQ(found, u"<A>");
  EXPECT_FALSE(db.ServerAway());
  CADORecordset late;
  EXPECT_TRUE(OpenLookup(late, starting.Connection(), ShortKeyId(u"A")));
  EXPECT_FALSE(starting.ServerAway());
  Add(u"B");
  EXPECT_EQ(Listed(u""), (std::vector<std::u16string>{u"A", u"B"}));
}

// The session ended on the server (an idle timeout, a firewall, an
// administrator) or the server restarted: the very next statement connects
// again and succeeds, a lookup, a save and a transaction alike; nothing is
// reported as missing or away.
TEST_P(ShorthandTableTest, DroppedSessionIsReplacedAtTheNextStatement) {
  if (GetParam() != "PostgreSQL") GTEST_SKIP() << "needs a database server";
  Add(u"K0003", u"反向 3");
  CADODataBase admin;
  ASSERT_TRUE(admin.Open(db.ConnectionString()));
  const auto terminate = [&] {
    CADORecordset own;
    ASSERT_TRUE(own.Open(db.Connection(), u"select pg_backend_pid()", kStatementDefault, {}));
    std::u16string pid;
    ASSERT_TRUE(own.FieldText(0, pid));
    own.Close();
    CADORecordset killer;
    ASSERT_TRUE(killer.Open(admin.Connection(), u"select pg_terminate_backend(?1)", kStatementDefault,
                            {DbValue(static_cast<int64_t>(std::stoll(text::Utf16ToUtf8(pid))))}));
    killer.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the backend has gone
  };
  terminate();
  EXPECT_EQ(LookedUp(u"K0003"), u"反向 3");
  EXPECT_FALSE(db.ServerAway());
  terminate();
  EXPECT_EQ(Listed(u"K"), std::vector<std::u16string>{u"K0003"});
  terminate();
  Add(u"K0004", u"反向 4");
  EXPECT_EQ(LookedUp(u"K0004"), u"反向 4");
  // A transaction whose first statement meets the dropped link starts again on a new one.
  terminate();
  ASSERT_TRUE(db.BeginTrans()) << text::Utf16ToUtf8(db.LastErrorText());
  EXPECT_TRUE(InsertEntry(db.Connection(), IdText(ShortKeyId(u"K0005")), u"K0005", u"反向 5"));
  EXPECT_TRUE(db.CommitTrans()) << text::Utf16ToUtf8(db.LastErrorText());
  EXPECT_EQ(LookedUp(u"K0005"), u"反向 5");
  // A session ended in the middle of a transaction that has written (an
  // import's): the next write fails as a broken link, whatever words the
  // driver finds for it, and nothing of the transaction is stored.
  ASSERT_TRUE(db.BeginTrans());
  ASSERT_TRUE(InsertEntry(db.Connection(), IdText(ShortKeyId(u"K0006")), u"K0006", u"反向 6"));
  terminate();
  {
    CADORecordset write;
    EXPECT_FALSE(write.Open(db.Connection(), u"insert into kwo(id, shortkey, content) values(?1, ?2, ?3)",
                            kStatementDefault,
                            {DbValue(static_cast<int64_t>(ShortKeyId(u"K0007"))), DbValue(u"K0007"), DbValue(u"反向 7")}));
    EXPECT_EQ(write.LastFailure(), DbFailure::Unreachable) << text::Utf16ToUtf8(write.ErrorDescription());
  }
  db.RollbackTrans();
  EXPECT_EQ(LookedUp(u"K0006"), u"");
  EXPECT_EQ(LookedUp(u"K0007"), u"");
#ifdef _WIN32
  const std::string shell = "start /wait /unix /bin/bash ";
#else
  const std::string shell = "bash ";
#endif
  const char* script = std::getenv("KWO_PG_CLUSTER_SCRIPT");
  ASSERT_NE(script, nullptr);
  ASSERT_EQ(std::system((shell + script + " pause").c_str()), 0);
  ASSERT_EQ(std::system((shell + script + " resume").c_str()), 0);
  WaitForServerUnderWine();
  EXPECT_EQ(LookedUp(u"K0003"), u"反向 3");
  EXPECT_FALSE(db.ServerAway());
#ifndef _WIN32  // under Wine the host's shell stops and starts the server on its own time
  // A lookup fails while the server is down; the server is back within the
  // pause that the failed connect started (a restart takes 0.4-0.6 s): a
  // lookup the user asked for again connects at once.
  ASSERT_EQ(std::system((shell + script + " pause").c_str()), 0);
  EXPECT_EQ(LookedUp(u"K0003"), u"");
  ASSERT_EQ(std::system((shell + script + " resume").c_str()), 0);
  db.Connection()->Session()->SkipRetryPause();
  EXPECT_EQ(LookedUp(u"K0003"), u"反向 3");
#endif
}

// The failed logins the server has logged for role kwo_login.
int RefusedLogins() {
  const char* dir = std::getenv("KWO_PG_DIR");
  if (dir == nullptr) return -1;
#ifdef _WIN32
  std::ifstream log(std::string("Z:") + dir + "/data/server.log");
#else
  std::ifstream log(std::string(dir) + "/data/server.log");
#endif
  int count = 0;
  for (std::string line; std::getline(log, line);) {
    count += line.find("password authentication failed for user \"kwo_login\"") != std::string::npos;
  }
  return count;
}

// A wrong password and a database that does not exist are told as such, not
// as a server away; after a refusal the session logs in again only when
// asked, however many statements come meanwhile.
TEST_P(ShorthandTableTest, RefusedLoginIsToldAndNotRepeatedUntilAsked) {
  if (GetParam() != "PostgreSQL") GTEST_SKIP() << "needs a database server";
  WaitForServerUnderWine();  // a test before may have restarted it
  const char* login = std::getenv("KWO_PG_LOGIN_CONN");
  ASSERT_NE(login, nullptr);
  std::u16string wrong = text::Utf8ToUtf16(login);
  wrong.replace(wrong.find(u"Pwd=kwo-login"), 13, u"Pwd=wrong");
  const int before = RefusedLogins();
  CADODataBase refused;
  ASSERT_TRUE(refused.Open(wrong)) << text::Utf16ToUtf8(refused.LastErrorText());
  EXPECT_EQ(refused.Refusal(), DbFailure::LoginRefused);
  EXPECT_FALSE(refused.ServerAway());
  CADORecordset rs;
  for (int typed = 0; typed < 20; ++typed) {
    EXPECT_FALSE(OpenLookup(rs, refused.Connection(), ShortKeyId(u"A")));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // past the pause after a failed connect
  }
  EXPECT_EQ(rs.LastFailure(), DbFailure::LoginRefused);
  EXPECT_EQ(RefusedLogins() - before, 1);
  refused.RetryLogin();
  EXPECT_FALSE(OpenLookup(rs, refused.Connection(), ShortKeyId(u"A")));
  EXPECT_EQ(RefusedLogins() - before, 2);

  std::u16string missing = text::Utf8ToUtf16(login);
  missing.replace(missing.find(u"Database=kwo"), 12, u"Database=nope");
  CADODataBase nowhere;
  ASSERT_TRUE(nowhere.Open(missing));
  EXPECT_EQ(nowhere.Refusal(), DbFailure::DatabaseMissing);
  // The right password: the refusal is over once asked again.
  CADODataBase right;
  ASSERT_TRUE(right.Open(text::Utf8ToUtf16(login)));
  EXPECT_EQ(right.Refusal(), DbFailure::Other);
}

// kwo's server process stopped (SIGSTOP: as a paused machine or a link that
// drops packets, it accepted the statement and never answers): the search
// gives up instead of waiting for it, and the next one runs on a new session.
TEST_P(ShorthandTableTest, HungServerProcessIsGivenUpAndReplaced) {
#ifdef _WIN32
  GTEST_SKIP() << "stops a server process of the host";
#else
  if (GetParam() != "PostgreSQL") GTEST_SKIP() << "needs a database server";
  Add(u"K0003", u"反向 3");
  CADORecordset own;
  ASSERT_TRUE(own.Open(db.Connection(), u"select pg_backend_pid()", kStatementDefault, {}));
  std::u16string pid;
  ASSERT_TRUE(own.FieldText(0, pid));
  own.Close();
  const std::string stopped = text::Utf16ToUtf8(pid);
  ASSERT_EQ(std::system(("kill -STOP " + stopped).c_str()), 0);
  struct Resume {
    std::string pid;
    ~Resume() { (void)std::system(("kill -CONT " + pid + " 2>/dev/null").c_str()); }
  } resume{stopped};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(LookedUp(u"K0003"), u"");
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  std::printf("a search on the stopped server process gave up after %lld ms\n", static_cast<long long>(waited.count()));
  EXPECT_TRUE(db.ServerAway());
  // One deadline per action: the next statement is refused at once during the retry pause...
  const auto again = std::chrono::steady_clock::now();
  EXPECT_EQ(LookedUp(u"K0003"), u"");
  std::printf("the lookup right after was refused after %lld ms\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - again)
                                         .count()));
  // ...unless asked to connect at once (a save's second lookup).
  db.Connection()->Session()->SkipRetryPause();
  EXPECT_EQ(LookedUp(u"K0003"), u"反向 3");  // a new session, the old process still stopped
  EXPECT_EQ(Listed(u"K0"), std::vector<std::u16string>{u"K0003"});
  EXPECT_FALSE(db.ServerAway());

  // The new session's process stops between the lookup and the save: the
  // save (table catalog, prepare, write) gives up by the deadline, and
  // nothing is written.
  ASSERT_TRUE(OpenLookup(rs, db.Connection(), ShortKeyId(u"K0003")));
  ASSERT_FALSE(rs.AtEnd());
  ASSERT_TRUE(own.Open(db.Connection(), u"select pg_backend_pid()", kStatementDefault, {}));
  ASSERT_TRUE(own.FieldText(0, pid));
  own.Close();
  Resume second{text::Utf16ToUtf8(pid)};
  ASSERT_EQ(std::system(("kill -STOP " + second.pid).c_str()), 0);
  const auto saving = std::chrono::steady_clock::now();
  rs.BeginEdit();
  const bool saved = rs.SetFieldText(kColumnContent, u"覆盖") && rs.Update();
  std::printf("a save on the stopped server process gave up after %lld ms\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - saving)
                                         .count()));
  EXPECT_FALSE(saved);
  EXPECT_EQ(rs.LastFailure(), DbFailure::Unreachable) << text::Utf16ToUtf8(rs.ErrorDescription());
  rs.Close();
  ASSERT_EQ(std::system(("kill -CONT " + second.pid).c_str()), 0);
  // The process goes on with the write it had been sent: it is never committed.
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  db.Connection()->Session()->SkipRetryPause();
  EXPECT_EQ(LookedUp(u"K0003"), u"反向 3");

  // The server's machine pauses (the server and the process stopped) during
  // a write: no cancel reaches the process; once it runs again, the write it
  // had been sent is not committed, as the caller was told.
  ASSERT_TRUE(own.Open(db.Connection(), u"select pg_backend_pid()", kStatementDefault, {}));
  ASSERT_TRUE(own.FieldText(0, pid));
  own.Close();
  const char* cluster = std::getenv("KWO_PG_DIR");
  ASSERT_NE(cluster, nullptr);
  std::ifstream pidFile(std::string(cluster) + "/data/postmaster.pid");
  std::string server;
  ASSERT_TRUE(std::getline(pidFile, server));
  Resume machine{text::Utf16ToUtf8(pid) + " " + server};
  ASSERT_EQ(std::system(("kill -STOP " + machine.pid).c_str()), 0);
  DbError writeError;
  EXPECT_FALSE(db.Connection()->Session()->Execute(u"update kwo set content='暂停时保存' where shortkey='K0003'", writeError));
  EXPECT_EQ(writeError.failure, DbFailure::Unreachable) << text::Utf16ToUtf8(writeError.description);
  ASSERT_EQ(std::system(("kill -CONT " + machine.pid).c_str()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  db.Connection()->Session()->SkipRetryPause();
  EXPECT_EQ(LookedUp(u"K0003"), u"反向 3");
  // Nor does the link given up keep its transaction, and the row's lock, open.
  std::u16string holding;
  ASSERT_TRUE(own.Open(db.Connection(), u"select count(*) from pg_stat_activity where state like 'idle in transaction%'",
                       kStatementDefault, {}));
  ASSERT_TRUE(own.FieldText(0, holding));
  own.Close();
  EXPECT_EQ(holding, u"0");

  // The transaction calls give up by the deadline too: an import's commit
  // on a process stopped after its writes fails as unreachable and says
  // the server may still commit; a rollback and a listing (an export's)
  // on a stopped process, and the begin of the next transaction, each
  // give up, and nothing waits for the server.
  const auto stopOwn = [&](Resume& stoppedOwn) {
    ASSERT_TRUE(own.Open(db.Connection(), u"select pg_backend_pid()", kStatementDefault, {}));
    ASSERT_TRUE(own.FieldText(0, pid));
    own.Close();
    stoppedOwn.pid = text::Utf16ToUtf8(pid);
    ASSERT_EQ(std::system(("kill -STOP " + stoppedOwn.pid).c_str()), 0);
  };
  const auto timed = [](const char* what, const std::function<bool()>& call) {
    const auto begun = std::chrono::steady_clock::now();
    const bool done = call();
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begun).count();
    std::printf("%s on the stopped server process gave up after %lld ms\n", what, ms);
    EXPECT_LT(ms, 10000) << what;  // it gives up at all: the process stays stopped
    return done;
  };
  ASSERT_TRUE(db.BeginTrans());
  ASSERT_TRUE(InsertEntry(db.Connection(), IdText(ShortKeyId(u"TXA")), u"TXA", u"tx"));
  Resume third;
  stopOwn(third);
  EXPECT_FALSE(timed("a commit", [&] { return db.CommitTrans(); }));
  EXPECT_EQ(db.LastFailure(), DbFailure::Unreachable);
  EXPECT_NE(db.ErrorDescription().find(u"可能已经保存"), std::u16string::npos) << text::Utf16ToUtf8(db.ErrorDescription());
  EXPECT_FALSE(db.BeginTrans());  // during the retry pause
  db.Connection()->Session()->SkipRetryPause();
  ASSERT_TRUE(db.BeginTrans());
  Resume fourth;
  stopOwn(fourth);
  timed("a rollback", [&] { return db.RollbackTrans(); });
  db.Connection()->Session()->SkipRetryPause();
  Resume fifth;
  stopOwn(fifth);
  CADORecordset listing;
  EXPECT_FALSE(timed("an export's listing", [&] {
    return listing.Open(db.Connection(), u"select id, shortkey, content from kwo order by id", kStatementDefault, {});
  }));
  EXPECT_EQ(listing.LastFailure(), DbFailure::Unreachable);
  listing.Close();
  // The first stopped process runs again: what it had been told to commit is there, once.
  ASSERT_EQ(std::system(("kill -CONT " + third.pid).c_str()), 0);
  db.Connection()->Session()->SkipRetryPause();
  for (int i = 0; i < 100 && LookedUp(u"TXA") != u"tx"; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(LookedUp(u"TXA"), u"tx");
#endif
}

INSTANTIATE_TEST_SUITE_P(Engines, ShorthandTableTest, ::testing::ValuesIn(testing::TestEngines()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace kwo::store
