#include "app/StoreNotices.h"

#include "store/ConnectionString.h"

namespace kwo::app {

std::u16string StartFailureText(std::u16string_view connectionString, std::u16string_view detail) {
  return u"无法打开数据库，疾书精灵不能启动。\n连接字符串：" + store::MaskPasswords(connectionString) +
         u"\n请检查 kwo.ini 中 [sys] 节的 connectionString，以及数据库文件所在的文件夹。\n\n详细信息：" +
         store::HideSecrets(detail, connectionString);
}

}  // namespace kwo::app
