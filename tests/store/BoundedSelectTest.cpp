#include <gtest/gtest.h>

#include "store/BoundedSelect.h"

namespace kwo::store {
namespace {

constexpr size_t B = kRowBoundParameter;

TEST(BoundedSelect, BoundsEveryOrderedPartAndTheWholeAndLeavesOtherStatements) {
  struct Case {
    std::u16string sql, expected;
    std::vector<size_t> order, expectedOrder;
  } cases[] = {
      {u"  select * from kwo where id=? order by id ; ", u"select * from kwo where id=? order by id limit ?", {0}, {0, B}},
      {u"select * from t where a=? and b=? union all select * from t where a=? order by id",
       u"(select * from t where a=? and b=? order by id limit ?) union all "
       u"(select * from t where a=? order by id limit ?) order by id limit ?",
       {2, 0, 1}, {2, 0, B, 1, B, B}},
      // Words inside quotes or parentheses are not clauses of the statement.
      {u"select ' union all ' from t where id in (select id from u union all select id from v order by id)",
       u"select ' union all ' from t where id in (select id from u union all select id from v order by id) limit ?",
       {}, {B}},
      {u"update kwo set content=? where id=?", u"update kwo set content=? where id=?", {0, 1}, {0, 1}},
  };
  for (Case& c : cases) {
    EXPECT_EQ(AddRowBound(c.sql, c.order), c.expectedOrder.size() > 0 && c.expectedOrder.back() == B);
    EXPECT_EQ(c.sql, c.expected);
    EXPECT_EQ(c.order, c.expectedOrder);
  }
}

}  // namespace
}  // namespace kwo::store
