#pragma once
// The key names that brace groups may use, with their virtual-key codes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kwo::keys {

struct KeyName {
  std::u16string_view name;  // upper-case ASCII
  uint8_t code;              // Win32 virtual-key code
  uint8_t extended;          // 1 for keys sent with KEYEVENTF_EXTENDEDKEY
};

constexpr size_t kKeyNameCount = 73;
constexpr size_t kLongestKeyName = 9;  // BACKSPACE, SEPARATOR

// Sorted by the names' UTF-16 code units.
extern const std::array<KeyName, kKeyNameCount> kKeyNameTable;

// The row with the longest name that `text` begins with, or nullptr.
const KeyName* FindLongestKeyName(std::u16string_view text);

}  // namespace kwo::keys
