#include "keys/HotKey.h"

#include <gtest/gtest.h>

namespace kwo::keys {
namespace {

TEST(HotKey, ReadsWhatUsersWriteAndWritesItNormalised) {
  struct Case {
    std::u16string_view text;
    uint32_t modifiers;
    int key;
    std::u16string_view normalised;
  };
  const Case cases[] = {
      {u"Ctrl+Alt+K", kHotKeyCtrl | kHotKeyAlt, 'K', u"Ctrl+Alt+K"},
      {u"win + space", kHotKeyWin, 0x20, u"Win+Space"},
      {u"F8", 0, 119, u"F8"},
      {u" alt +shift+ ctrl + 7 ", kHotKeyAlt | kHotKeyShift | kHotKeyCtrl, '7', u"Ctrl+Alt+Shift+7"},
      {u"Shift+insert", kHotKeyShift, 45, u"Shift+Insert"},
      {u"CTRL+INS", kHotKeyCtrl, 45, u"Ctrl+Insert"},
      {u"Win+pgdn", kHotKeyWin, 34, u"Win+PgDn"},
      {u"Ctrl+Numpad5", kHotKeyCtrl, 101, u"Ctrl+Numpad5"},
      {u"win+z", kHotKeyWin, 'Z', u"Win+Z"},
      {u"Alt+printscreen", kHotKeyAlt, 44, u"Alt+PrintScreen"},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseHotKey(c.text);
    ASSERT_TRUE(parsed.has_value()) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(parsed->modifiers, c.modifiers);
    EXPECT_EQ(parsed->key, c.key);
    EXPECT_EQ(FormatHotKey(*parsed), c.normalised);
    EXPECT_EQ(ParseHotKey(FormatHotKey(*parsed)), parsed);  // the written form reads back
  }
}

TEST(HotKey, RefusesWhatIsNotOneKeyAfterModifiers) {
  for (std::u16string_view text :
       {u"", u"+", u"Ctrl+", u"+K", u"Ctrl++K", u"Ctrl+Alt", u"Win", u"Ctrl+Shift+LWIN", u"Hyper+K",
        u"Ctrl+KK", u"Ctrl+K+Alt", u"Ctrl+ä", u"F17", u"Ctrl+{F8}", u"Ctrl K"}) {
    EXPECT_FALSE(ParseHotKey(text).has_value()) << std::string(text.begin(), text.end());
  }
  EXPECT_EQ(FormatHotKey({kHotKeyCtrl, 0xBA}), u"");  // a key without a name
  EXPECT_FALSE(IsHotKeyKey(17));
  EXPECT_TRUE(IsHotKeyKey('Q'));
}

TEST(HotKey, MissingOrEmptyMeansWinSpaceAndAMalformedValueIsFlagged) {
  EXPECT_EQ(ResolveHotKey(u"").hotKey, kDefaultHotKey);
  EXPECT_FALSE(ResolveHotKey(u"  ").malformed);
  EXPECT_EQ(FormatHotKey(kDefaultHotKey), u"Win+Space");
  const HotKeySetting bad = ResolveHotKey(u"Ctrl+Alt+");
  EXPECT_TRUE(bad.malformed);
  EXPECT_EQ(bad.hotKey, kDefaultHotKey);
  const HotKeySetting good = ResolveHotKey(u"ctrl+alt+k");
  EXPECT_FALSE(good.malformed);
  EXPECT_EQ(good.hotKey, (HotKey{kHotKeyCtrl | kHotKeyAlt, 'K'}));
}

TEST(HotKey, RefusesKeysThatTypeAndKeysWindowsKeeps) {
  const struct {
    std::u16string_view text;
    HotKeyVerdict verdict;
  } cases[] = {
      // Alone or with Shift only, a key that types or edits would be taken from every program.
      {u"Space", HotKeyVerdict::TypingKey},
      {u"A", HotKeyVerdict::TypingKey},
      {u"7", HotKeyVerdict::TypingKey},
      {u"Enter", HotKeyVerdict::TypingKey},
      {u"Tab", HotKeyVerdict::TypingKey},
      {u"Backspace", HotKeyVerdict::TypingKey},
      {u"Shift+A", HotKeyVerdict::TypingKey},
      {u"Shift+Space", HotKeyVerdict::TypingKey},
      {u"Delete", HotKeyVerdict::TypingKey},
      {u"Esc", HotKeyVerdict::TypingKey},
      {u"Numpad5", HotKeyVerdict::TypingKey},
      // Function keys alone are no typing.
      {u"F1", HotKeyVerdict::Accepted},
      {u"F8", HotKeyVerdict::Accepted},
      {u"Shift+F12", HotKeyVerdict::Accepted},
      {u"Pause", HotKeyVerdict::Accepted},
      {u"Break", HotKeyVerdict::Accepted},
      {u"PrintScreen", HotKeyVerdict::Accepted},
      // With Ctrl, Alt or Win a key is a combination.
      {u"Win+Space", HotKeyVerdict::Accepted},
      {u"Ctrl+Alt+K", HotKeyVerdict::Accepted},
      {u"Alt+Space", HotKeyVerdict::Accepted},
      {u"Ctrl+Enter", HotKeyVerdict::Accepted},
      {u"Ctrl+Shift+A", HotKeyVerdict::Accepted},
      // Kept by Windows.
      {u"Ctrl+Alt+Delete", HotKeyVerdict::SystemKey},
      {u"Ctrl+Alt+Shift+Delete", HotKeyVerdict::SystemKey},
      {u"Ctrl+Shift+Esc", HotKeyVerdict::SystemKey},
      {u"Win+L", HotKeyVerdict::SystemKey},
      {u"Ctrl+Delete", HotKeyVerdict::Accepted},
      // Closes the window in front.
      {u"Alt+F4", HotKeyVerdict::ClosesWindows},
      {u"Ctrl+Alt+F4", HotKeyVerdict::Accepted},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseHotKey(c.text);
    ASSERT_TRUE(parsed.has_value()) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(JudgeHotKey(*parsed), c.verdict) << std::string(c.text.begin(), c.text.end());
    // A refusal is said in words naming the combination; an accepted one says nothing.
    const std::u16string refusal = HotKeyRefusal(*parsed);
    EXPECT_EQ(refusal.empty(), c.verdict == HotKeyVerdict::Accepted) << std::string(c.text.begin(), c.text.end());
    if (!refusal.empty()) {
      EXPECT_EQ(refusal.find(FormatHotKey(*parsed)), 0u);
    }
  }
}

TEST(HotKey, RefusedValueInTheFileGivesWinSpaceAndSaysWhy) {
  const HotKeySetting space = ResolveHotKey(u"Space");
  EXPECT_TRUE(space.malformed);
  EXPECT_EQ(space.hotKey, kDefaultHotKey);
  EXPECT_NE(space.refusal.find(u"打字"), std::u16string::npos);
  const HotKeySetting reserved = ResolveHotKey(u"ctrl+alt+del");
  EXPECT_EQ(reserved.hotKey, kDefaultHotKey);
  EXPECT_NE(reserved.refusal.find(u"Windows"), std::u16string::npos);
  EXPECT_EQ(ResolveHotKey(u"Ctrl+Alt+").refusal, u"");  // unreadable, not refused
  EXPECT_EQ(ResolveHotKey(u"F8").hotKey, (HotKey{0, 119}));
}

}  // namespace
}  // namespace kwo::keys
