#pragma once
// One entry of an exchange file: its short key and its content as stored.
#include <string>

namespace kwo::entries {

struct ExchangeEntry {
  std::u16string key;      // 1 to 6 digits and capitals
  std::u16string content;  // a key sequence, line breaks as CR LF
};

// The text that ends every format-error message of an import.
inline constexpr char16_t kFormatErrorSuffix[] = u" 速记符处定义格式错误";

}  // namespace kwo::entries
