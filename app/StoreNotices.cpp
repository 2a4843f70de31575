#include "app/StoreNotices.h"

#include <initializer_list>

#include "store/ConnectionString.h"

namespace kwo::app {

std::u16string StartFailureText(std::u16string_view connectionString, std::u16string_view detail) {
  return u"无法打开数据库，疾书精灵不能启动。\n连接字符串：" + store::MaskPasswords(connectionString) +
         u"\n请检查 kwo.ini 中 [sys] 节的 connectionString，以及数据库文件所在的文件夹。\n\n详细信息：" +
         store::HideSecrets(detail, connectionString);
}

namespace {

// The first of `keys` the string has a value for, or "（未写明）".
std::u16string FirstValue(std::u16string_view connectionString, std::initializer_list<std::u16string_view> keys) {
  for (std::u16string_view key : keys) {
    std::u16string value = store::ConnectionValue(connectionString, key);
    if (!value.empty()) return value;
  }
  return u"（未写明）";
}

}  // namespace

std::u16string LoginRefusedText(std::u16string_view connectionString, bool databaseMissing) {
  const std::u16string dsn = store::ConnectionValue(connectionString, u"DSN");
  std::u16string server = FirstValue(connectionString, {u"Server", u"Servername", u"Data Source", u"Host"});
  if (!dsn.empty() && server == u"（未写明）") server = u"数据源 " + dsn + u" 中的服务器";
  const std::u16string database = FirstValue(connectionString, {u"Database", u"Initial Catalog", u"Dbq"});
  const std::u16string user = FirstValue(connectionString, {u"Uid", u"User ID", u"UserName", u"User"});
  const std::u16string where = u"\n服务器：" + server + u"\n数据库：" + database + u"\n用户：" + user;
  const std::u16string said = databaseMissing
                                  ? u"数据库服务器上没有这个数据库，疾书精灵查不到速记。" + where +
                                        u"\n\n请检查 kwo.ini 中 [sys] 节 connectionString 里的数据库名，"
                                        u"或请数据库管理员建立这个数据库。"
                                  : u"数据库服务器拒绝了登录，疾书精灵查不到速记。" + where +
                                        u"\n\n请检查 kwo.ini 中 [sys] 节 connectionString 里的用户名和密码，"
                                        u"或请数据库管理员确认这个用户可以登录。";
  return said + u"\n为了不让账户因多次登录失败而被锁定，疾书精灵不会自动重新登录：改好后请按“重试”。";
}

}  // namespace kwo::app
