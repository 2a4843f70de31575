#include <gtest/gtest.h>

#include "store/SqlRewrite.h"
#include "text/Utf.h"

namespace kwo::store {
namespace {

TEST(SqlRewrite, MarkersBecomePlainWithTheirParametersAndOneStatementOnly) {
  struct Case {
    std::u16string sql, expected;
    std::vector<size_t> expectedOrder;
  } cases[] = {
      {u"select * from kwo where substring(shortkey,1,?2)=?1 order by id",
       u"select * from kwo where substring(shortkey,1,?)=? order by id", {1, 0}},
      // A number may be used twice, and numbers of more than one digit.
      {u"select ?1, ?12, ?1", u"select ?, ?, ?", {0, 11, 0}},
      // Plain markers take the parameters in turn.
      {u"insert into kwo values(?, ?, ?)", u"insert into kwo values(?, ?, ?)", {0, 1, 2}},
      // Markers and semicolons inside quotes are text.
      {u"select '?1;x', \"a?2\" from kwo where id=?3", u"select '?1;x', \"a?2\" from kwo where id=?", {2}},
      {u"select 1; ", u"select 1; ", {}},
      // A second statement is refused.
      {u"select 1; delete from kwo", u"", {}},
  };
  for (const Case& c : cases) {
    std::vector<size_t> order;
    EXPECT_EQ(text::Utf16ToUtf8(MapMarkers(c.sql, order)), text::Utf16ToUtf8(c.expected));
    if (!c.expected.empty()) {
      EXPECT_EQ(order, c.expectedOrder) << text::Utf16ToUtf8(c.sql);
    }
  }
}

TEST(SqlRewrite, EachDatabaseGetsItsOwnWordsForSubstringAndCaseBlindLike) {
  const std::u16string prefix = u"select * from kwo where substring(shortkey,1,?)=? order by id";
  const std::u16string search = u"select id from kwo where (kwo.shortkey like ? escape '\\' or kwo.content like ? escape '\\')";
  struct Case {
    const char16_t* product;
    std::u16string sql, expected;
  } cases[] = {
      {u"ACCESS", prefix, u"select * from kwo where mid(shortkey,1,?)=? order by id"},
      {u"ACCESS", search, search},
      {u"PostgreSQL", prefix, prefix},
      {u"PostgreSQL", search,
       u"select id from kwo where (kwo.shortkey ilike ? escape '\\' or kwo.content ilike ? escape '\\')"},
      {u"SQLite", prefix, prefix},
      {u"SQLite", search, search},
      {u"Microsoft SQL Server", search, search},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::Utf16ToUtf8(Respell(c.sql, DialectFor(c.product))), text::Utf16ToUtf8(c.expected))
        << text::Utf16ToUtf8(c.product);
  }
}

TEST(SqlRewrite, TheTableASelectReads) {
  struct Case {
    std::u16string sql, table;
  } cases[] = {
      {u"select * from kwo where id=?", u"kwo"},
      {u"SELECT id, content FROM   Kwo_2 ORDER BY id", u"Kwo_2"},
      {u"select * from \"速记 表\" where id=?", u"速记 表"},
      {u"select shortkey from kwo", u"kwo"},
      {u"select 1", u""},
      {u"select * from \"unterminated", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::Utf16ToUtf8(TableOfSelect(c.sql)), text::Utf16ToUtf8(c.table)) << text::Utf16ToUtf8(c.sql);
  }
}

TEST(SqlRewrite, WritesThatGiveNoRowsAreToldByTheirFirstWord) {
  struct Case {
    const char16_t* sql;
    bool write;
  } cases[] = {
      {u"insert into kwo(id, shortkey, content) values(?, ?, ?)", true},
      {u"  UPDATE \"kwo\" set content=? where id=?", true},
      {u"delete from kwo where id=?", true},
      {u"Insert into kwo select * from unnest(?::bigint[], ?::text[], ?::text[]) on conflict(id) do nothing", true},
      {u"select * from kwo where id=?", false},
      {u"with changed as (update kwo set content=? returning id) select id from changed", false},
      {u"inserts", false},
      {u"create table kwo(id bigint primary key, shortkey text, content text)", false},
      {u"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainWrite(c.sql), c.write) << text::Utf16ToUtf8(c.sql);
}

}  // namespace
}  // namespace kwo::store
