#pragma once
// The key combination that calls the main window up, as written in kwo.ini:
// modifiers out of Ctrl, Alt, Shift and Win, then one key, joined with `+`
// ("Ctrl+Alt+K", "win + space", "F8").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kwo::keys {

// The modifier bits of RegisterHotKey.
constexpr uint32_t kHotKeyAlt = 0x1;
constexpr uint32_t kHotKeyCtrl = 0x2;
constexpr uint32_t kHotKeyShift = 0x4;
constexpr uint32_t kHotKeyWin = 0x8;

struct HotKey {
  uint32_t modifiers = kHotKeyWin;
  uint8_t key = 0x20;  // virtual-key code; Space
  bool operator==(const HotKey& other) const { return modifiers == other.modifiers && key == other.key; }
  bool operator!=(const HotKey& other) const { return !(*this == other); }
};

// Win + Space: what a missing or empty setting means.
constexpr HotKey kDefaultHotKey{};

// Case-insensitive, spaces around the parts allowed. The key is a letter, a
// digit or a key name of the key-sequence language that is not a modifier.
// nullopt for anything else, an empty text included.
std::optional<HotKey> ParseHotKey(std::u16string_view text);

// The normalised form: "Ctrl+Alt+Shift+Win+Key". Empty when the key has no
// name that ParseHotKey reads back.
std::u16string FormatHotKey(const HotKey& hotKey);

// True for a virtual key that can end a combination (it has a name and is
// not itself a modifier).
bool IsHotKeyKey(uint8_t key);

// Whether a combination may call the main window up.
enum class HotKeyVerdict {
  Accepted,
  TypingKey,      // a letter, digit, Space, Enter, Tab, Backspace... alone or with Shift only:
                  // every press of it in every program would go to us
  SystemKey,      // Ctrl+Alt+Delete and the like: Windows keeps them for itself
  ClosesWindows,  // Alt+F4: the key that closes the window in front
};
HotKeyVerdict JudgeHotKey(const HotKey& hotKey);
// Why a combination is refused, in words for the user; empty when accepted.
std::u16string HotKeyRefusal(const HotKey& hotKey);

// The setting as found in kwo.ini: the combination in force, and whether the
// value was there but could not be read or is refused (the caller tells the
// user, with `refusal` when refused; Win + Space is in force then).
struct HotKeySetting {
  HotKey hotKey;
  bool malformed = false;
  std::u16string refusal;
};
HotKeySetting ResolveHotKey(std::u16string_view value);

}  // namespace kwo::keys
