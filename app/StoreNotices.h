#pragma once
// The texts that tell the user about the database as a whole: why the
// program cannot start on it. A connection string appears in them only
// through store::MaskPasswords, and no password of it in any other part.
#include <string>
#include <string_view>

namespace kwo::app {

// "无法打开数据库，疾书精灵不能启动。" with the masked connection string, what
// to check and the driver's or engine's description.
std::u16string StartFailureText(std::u16string_view connectionString, std::u16string_view detail);

// The server refused the login (`databaseMissing`: it has no such database):
// names the server, the database and the user of the connection string (never
// its password), what to check, and that "重试" logs in again.
std::u16string LoginRefusedText(std::u16string_view connectionString, bool databaseMissing);

}  // namespace kwo::app
