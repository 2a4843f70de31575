#include <gtest/gtest.h>

#include "store/BoundedSelect.h"

namespace kwo::store {
namespace {

constexpr size_t B = kRowBoundParameter;

TEST(BoundedSelect, BoundsEveryOrderedPartAndTheWholeAndLeavesOtherStatements) {
  struct Case {
    std::u16string sql;
    std::vector<size_t> order;
    bool bounded;
    std::u16string expected;
    std::vector<size_t> expectedOrder;
  } cases[] = {
      {u"select * from kwo where id=?", {0}, true, u"select * from kwo where id=? limit ?", {0, B}},
      {u"  select * from kwo order by id ; ", {}, true, u"select * from kwo order by id limit ?", {B}},
      {u"select * from kwo where id between ? and ? and k=? union all "
       u"select * from kwo where id between ? and ? and k=? order by id",
       {2, 3, 0, 4, 5, 0},
       true,
       u"(select * from kwo where id between ? and ? and k=? order by id limit ?) union all "
       u"(select * from kwo where id between ? and ? and k=? order by id limit ?) order by id limit ?",
       {2, 3, 0, B, 4, 5, 0, B, B}},
      // Words inside quotes or parentheses are not clauses of the statement.
      {u"select ' union all ' from kwo where id in (select id from t union all select id from u order by id)",
       {},
       true,
       u"select ' union all ' from kwo where id in (select id from t union all select id from u order by id) limit ?",
       {B}},
      // A union without an order: bounded as a whole only.
      {u"SELECT a FROM t WHERE b=? UNION ALL SELECT a FROM u", {0}, true,
       u"SELECT a FROM t WHERE b=? UNION ALL SELECT a FROM u limit ?", {0, B}},
      {u"update kwo set content=? where id=?", {0, 1}, false, u"update kwo set content=? where id=?", {0, 1}},
      {u"selection", {}, false, u"selection", {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(std::string(c.expected.begin(), c.expected.end()));
    EXPECT_EQ(AddRowBound(c.sql, c.order), c.bounded);
    EXPECT_EQ(c.sql, c.expected);
    EXPECT_EQ(c.order, c.expectedOrder);
  }
}

}  // namespace
}  // namespace kwo::store
