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

}  // namespace kwo::app
