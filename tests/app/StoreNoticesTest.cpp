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

// Server, database and user as the string names them, whatever the provider's
// key names; never the password.
TEST(LoginRefused, NamesServerDatabaseAndUserButNoPassword) {
  struct Case {
    std::u16string text;
    bool databaseMissing;
    std::u16string names;
  };
  const Case cases[] = {
      {u"Driver={PostgreSQL Unicode};Server=db01;Port=5432;Database=team;Uid=kwo;Pwd=Geheim#42", false,
       u"\n服务器：db01\n数据库：team\n用户：kwo\n"},
      {u"Provider=SQLOLEDB;Data Source=sql01;Initial Catalog=team;User ID=sa;Password=Geheim#42", true,
       u"\n服务器：sql01\n数据库：team\n用户：sa\n"},
      {u"DSN=team;Uid=kwo;Pwd=Geheim#42", false, u"\n服务器：数据源 team 中的服务器\n数据库：（未写明）\n用户：kwo\n"},
  };
  for (const Case& c : cases) {
    const std::u16string text = LoginRefusedText(c.text, c.databaseMissing);
    EXPECT_NE(text.find(c.names), std::u16string::npos);
    EXPECT_EQ(text.find(u"Geheim#42"), std::u16string::npos);
    EXPECT_NE(text.find(c.databaseMissing ? u"没有这个数据库" : u"拒绝了登录"), std::u16string::npos);
    EXPECT_NE(text.find(u"重试"), std::u16string::npos);
  }
}

}  // namespace
}  // namespace kwo::app
