// What the user reads about the database as a whole: no password of the
// connection string, in the string shown or in the driver's words.
#include "app/StoreNotices.h"

#include <gtest/gtest.h>

namespace kwo::app {
namespace {

TEST(StartFailure, ShowsTheStringMaskedAndHidesAnEchoedPassword) {
  const std::u16string text =
      StartFailureText(u"DSN=nichtda;Uid=kwo;Pwd=Geheim#42", u"[unixODBC] DSN=nichtda;PWD=Geheim#42 not found");
  EXPECT_EQ(text.find(u"Geheim#42"), std::u16string::npos);
  EXPECT_NE(text.find(u"连接字符串：DSN=nichtda;Uid=kwo;Pwd=******\n"), std::u16string::npos);
  EXPECT_NE(text.find(u"PWD=****** not found"), std::u16string::npos);
  EXPECT_EQ(text.rfind(u"无法打开数据库，疾书精灵不能启动。", 0), 0u);
}

}  // namespace
}  // namespace kwo::app
