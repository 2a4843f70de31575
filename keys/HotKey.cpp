#include "keys/HotKey.h"

#include <utility>
#include <vector>

#include "keys/KeyNameTable.h"

namespace kwo::keys {

namespace {

struct ModifierName {
  std::u16string_view upper;
  std::u16string_view shown;
  uint32_t bit;
};
// In the order they are written.
constexpr ModifierName kModifiers[] = {
    {u"CTRL", u"Ctrl", kHotKeyCtrl},
    {u"ALT", u"Alt", kHotKeyAlt},
    {u"SHIFT", u"Shift", kHotKeyShift},
    {u"WIN", u"Win", kHotKeyWin},
};

// Names written for keys whose first table name is a terse one.
struct ShownName {
  uint8_t code;
  std::u16string_view shown;
};
constexpr ShownName kShownNames[] = {
    {8, u"Backspace"}, {13, u"Enter"}, {27, u"Esc"},     {33, u"PgUp"},
    {34, u"PgDn"},     {45, u"Insert"}, {46, u"Delete"}, {44, u"PrintScreen"},
    {19, u"Pause"},
};

bool IsModifierCode(uint8_t code) {
  return code == 16 || code == 17 || code == 18 || code == 91 || code == 92 || (code >= 160 && code <= 165);
}

bool IsLetterOrDigit(uint8_t code) { return (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'); }

std::u16string Trimmed(std::u16string_view part) {
  size_t begin = 0, end = part.size();
  while (begin < end && (part[begin] == u' ' || part[begin] == u'\t')) ++begin;
  while (end > begin && (part[end - 1] == u' ' || part[end - 1] == u'\t')) --end;
  std::u16string upper(part.substr(begin, end - begin));
  for (char16_t& unit : upper) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  return upper;
}

std::optional<uint8_t> KeyCode(const std::u16string& name) {
  if (name.size() == 1 && IsLetterOrDigit(static_cast<uint8_t>(name[0] < 0x80 ? name[0] : 0))) {
    return static_cast<uint8_t>(name[0]);
  }
  // The names written for keys are read back, also where the key-sequence
  // language has no such name (INSERT, PRINTSCREEN).
  for (const ShownName& row : kShownNames) {
    if (Trimmed(row.shown) == name) return row.code;
  }
  const KeyName* row = FindLongestKeyName(name);
  if (row == nullptr || row->name.size() != name.size() || IsModifierCode(row->code)) return std::nullopt;
  return row->code;
}

std::u16string KeyText(uint8_t code) {
  if (IsLetterOrDigit(code)) return std::u16string(1, static_cast<char16_t>(code));
  if (IsModifierCode(code)) return {};
  for (const ShownName& row : kShownNames) {
    if (row.code == code) return std::u16string(row.shown);
  }
  for (const KeyName& row : kKeyNameTable) {
    if (row.code != code) continue;
    // Upper case in the table; written with a capital and small letters.
    std::u16string text(row.name);
    for (size_t i = 1; i < text.size(); ++i) {
      if (text[i] >= u'A' && text[i] <= u'Z') text[i] = static_cast<char16_t>(text[i] - u'A' + u'a');
    }
    return text;
  }
  return {};
}

}  // namespace

std::optional<HotKey> ParseHotKey(std::u16string_view text) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (;;) {
    const size_t plus = text.find(u'+', start);
    parts.push_back(Trimmed(text.substr(start, plus == std::u16string_view::npos ? text.npos : plus - start)));
    if (plus == std::u16string_view::npos) break;
    start = plus + 1;
  }
  HotKey hotKey{0, 0};
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    bool known = false;
    for (const ModifierName& modifier : kModifiers) {
      if (parts[i] == modifier.upper) {
        hotKey.modifiers |= modifier.bit;
        known = true;
      }
    }
    if (!known) return std::nullopt;
  }
  const std::optional<uint8_t> key = KeyCode(parts.back());
  if (!key) return std::nullopt;
  hotKey.key = *key;
  return hotKey;
}

std::u16string FormatHotKey(const HotKey& hotKey) {
  const std::u16string key = KeyText(hotKey.key);
  if (key.empty()) return {};
  std::u16string text;
  for (const ModifierName& modifier : kModifiers) {
    if ((hotKey.modifiers & modifier.bit) != 0) {
      text += modifier.shown;
      text += u'+';
    }
  }
  return text + key;
}

bool IsHotKeyKey(uint8_t key) { return !KeyText(key).empty(); }

HotKeyVerdict JudgeHotKey(const HotKey& hotKey) {
  const uint32_t modifiers = hotKey.modifiers & (kHotKeyCtrl | kHotKeyAlt | kHotKeyShift | kHotKeyWin);
  const uint8_t key = hotKey.key;
  // Keys that do something alone without typing: F1–F24, Pause, Break, Scroll Lock, Print Screen.
  const bool functionKey =
      (key >= 0x70 && key <= 0x87) || key == 0x13 || key == 0x03 || key == 0x91 || key == 0x2C;
  if ((modifiers & ~kHotKeyShift) == 0 && !functionKey) return HotKeyVerdict::TypingKey;
  if ((modifiers & (kHotKeyCtrl | kHotKeyAlt)) == (kHotKeyCtrl | kHotKeyAlt) && key == 0x2E) {
    return HotKeyVerdict::SystemKey;  // Ctrl+Alt+Delete
  }
  if (modifiers == (kHotKeyCtrl | kHotKeyShift) && key == 0x1B) return HotKeyVerdict::SystemKey;  // Task Manager
  if (modifiers == kHotKeyWin && key == 'L') return HotKeyVerdict::SystemKey;                     // locks the computer
  if (modifiers == kHotKeyAlt && key == 0x73) return HotKeyVerdict::ClosesWindows;               // Alt+F4
  return HotKeyVerdict::Accepted;
}

std::u16string HotKeyRefusal(const HotKey& hotKey) {
  const std::u16string name = FormatHotKey(hotKey);
  switch (JudgeHotKey(hotKey)) {
    case HotKeyVerdict::Accepted:
      return {};
    case HotKeyVerdict::TypingKey:
      return name + u" 是打字时要用的键，设为热键后在所有程序中按它都会被疾书精灵拿走。"
                    u"请加上 Ctrl、Alt 或 Win（例如 Ctrl+Alt+K），或单用 F1～F24、Pause 这类功能键。";
    case HotKeyVerdict::SystemKey:
      return name + u" 由 Windows 自己使用，不能作热键。";
    case HotKeyVerdict::ClosesWindows:
      return name + u" 用来关闭前台的窗口，设为热键后就不能再用它关闭窗口了。";
  }
  return {};
}

HotKeySetting ResolveHotKey(std::u16string_view value) {
  if (Trimmed(value).empty()) return {};
  const std::optional<HotKey> hotKey = ParseHotKey(value);
  if (!hotKey) return {kDefaultHotKey, true, {}};
  if (std::u16string refusal = HotKeyRefusal(*hotKey); !refusal.empty()) {
    return {kDefaultHotKey, true, std::move(refusal)};
  }
  return {*hotKey, false, {}};
}

}  // namespace kwo::keys
