#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "keys/KeySend.h"
#include "keys/RecordingKeyPlatform.h"
#include "keys/SequenceCheck.h"
#include "text/Utf.h"

namespace kwo::keys {
namespace {

using Kind = SequenceProblemKind;

TEST(SequenceCheck, FindsTheFirstProblemAndWhereItIs) {
  const struct {
    std::u16string text;
    Kind kind;
    size_t position;
  } cases[] = {
      {u"", Kind::None, 0},
      {u"ab中{ENTER 2}{CTRL+}{c}{CTRL-}{DELAY=20}{BEEP 800 200}{VKEY 65}{APPACTIVATE 记事本}\\{x}", Kind::None, 0},
      {u"{TAB 0}{}{}}{a}{NUMPAD12}{DELAY}", Kind::None, 0},
      {u"{+}", Kind::CharacterAsKey, 0},  // no press-only group: the key 0x2B, not a plus sign
      {u"ab{ENTR}", Kind::UnknownKeyName, 2},
      {u"{TABLE}", Kind::UnknownKeyName, 0},
      {u"{CTRLX+}{CTRL-}", Kind::UnknownKeyName, 0},
      {u"{HOME 中文", Kind::UnterminatedGroup, 0},
      {u"ok{" + std::u16string(299, u'x') + u"}", Kind::UnknownKeyName, 2},  // processed, not stopped
      {u"ok{" + std::u16string(300, u'x') + u"}{ENTR}", Kind::GroupTooLong, 2},
      {u"{ALT+}{" + std::u16string(300, u'x') + u"}", Kind::GroupTooLong, 6},  // the stop lets Alt go
      {u"{VKEY 300}", Kind::NumberOutOfRange, 0},
      {u"{ENTER -1}", Kind::NumberOutOfRange, 0},
      {u"{DELAY -5}", Kind::NumberOutOfRange, 0},
      {u"{BEEP 800}", Kind::NumberOutOfRange, 0},
      {u"a{SHIFT+}b", Kind::KeyNeverReleased, 1},
      {u"{LCTRL+}{CTRL-}", Kind::KeyNeverReleased, 0},  // another key code is released
      {u"{SHIFT+}{SHIFT}", Kind::None, 0},              // pressing it again lets it go too
      {u"{ALT+}x{ENTR}", Kind::KeyNeverReleased, 0},     // reported where it was pressed, before a later one
      // A brace or a sign alone in a group presses the key of its code: {{} is F12, {.} Delete.
      {u"{{}", Kind::CharacterAsKey, 0},
      {u"a{.}b", Kind::CharacterAsKey, 1},
      {u"{ }{x}{7}", Kind::None, 0},
      {u"{APPACTIVATE }", Kind::NoWindowTitle, 0},
      {u"ab{APPACTIVATE    }", Kind::NoWindowTitle, 2},
      // Pauses of more than a minute, one or all of them together.
      {u"{DELAY 99999999}", Kind::PauseTooLong, 0},
      {u"x{DELAY 4000000000}y", Kind::PauseTooLong, 1},
      {u"{DELAY=60001}ab", Kind::PauseTooLong, 0},
      {u"{DELAY 60000}x{DELAY=60000}", Kind::None, 0},
      {u"{DELAY 40000}a{DELAY 40000}b", Kind::PausesTooLong, 14},
      {u"{DELAY 40000}a{DELAY 40000}", Kind::PausesTooLong, 14},  // the pause left for the next key counts
      {u"{DELAY 40000}{DELAY 40000}a", Kind::None, 0},             // the second replaces the first
      {u"{DELAY=1000}{TAB 61}", Kind::PausesTooLong, 12},          // one pause before every repeat
      {u"{DELAY=1000}{TAB 60}", Kind::None, 0},
  };
  for (const auto& c : cases) {
    const SequenceProblem problem = CheckKeySequence(c.text);
    EXPECT_EQ(problem.kind, c.kind) << text::Utf16ToUtf8(c.text);
    EXPECT_EQ(problem.position, c.position) << text::Utf16ToUtf8(c.text);
  }
}

TEST(SequenceCheck, DescribesTheProblemWithItsPosition) {
  EXPECT_EQ(DescribeSequenceProblem(CheckKeySequence(u"abc")), u"内容正确");
  EXPECT_EQ(DescribeSequenceProblem(CheckKeySequence(u"{CTRL+}c")),
            u"第 1 个字符处的 {CTRL+} 按下的键后面没有放开（缺少 {CTRL-}），会一直按着");
  EXPECT_EQ(DescribeSequenceProblem(CheckKeySequence(u"{DELAY=30000}abc")),
            u"第 1 个字符处的 {DELAY=30000} 使所有暂停加起来有 90 秒，超过 60 秒，这期间疾书精灵不能输入别的内容");
  EXPECT_EQ(DescribeSequenceProblem(CheckKeySequence(u"{DELAY 99999999}")),
            u"第 1 个字符处的 {DELAY 99999999} 暂停超过 60 秒，这期间疾书精灵不能输入别的内容");
  EXPECT_EQ(DescribeSequenceProblem(CheckKeySequence(u"{{}")),
            u"第 1 个字符处的 {{} 会按下键码与这个字符相同的键，而不是输入它；要输入 { 本身请写 \\{，其他字符请写在括号外");
}

// Contents built from pieces that make every kind of problem and none.
std::u16string RandomContent(std::mt19937& random) {
  static const std::u16string pieces[] = {
      u"a", u"中", u"\\{", u"\\", u"}", u"{", u"\n", u"{ENTER}", u"{ENTR}", u"{TAB 3}", u"{TABLE}", u"{VKEY 65}",
      u"{VKEY 300}", u"{CTRL+}", u"{CTRL-}", u"{SHIFT+}", u"{SHIFT-}", u"{LSHIFT-}", u"{SHIFT}", u"{ALT+}",
      u"{ALT-}", u"{a}", u"{中}", u"{DELAY 5}", u"{DELAY -5}", u"{BEEP 800 20}", u"{BEEP 800}", u"{ENTER 65537}",
      u"{VKEY 16}", u"{" + std::u16string(299, u'x') + u"}", u"{" + std::u16string(300, u'y') + u"}"};
  std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1), length(0, 8);
  std::u16string text;
  for (size_t n = length(random); n > 0; --n) text += pieces[piece(random)];
  return text;
}

// The keys whose last event was a press: what the text leaves held down.
size_t KeysLeftDown(const RecordingKeyPlatform& platform) {
  std::map<uint16_t, bool> down;
  for (const KeyEvent& e : platform.events()) {
    if (!(e.flags & kUnicode)) down[e.vk] = !(e.flags & kKeyUp);
  }
  size_t count = 0;
  for (const auto& key : down) count += key.second ? 1 : 0;
  return count;
}

TEST(SequenceCheck, AgreesWithWhatTheInterpreterDoes) {
  std::mt19937 random(20261207);
  size_t stopped = 0, held = 0, sound = 0;
  for (int i = 0; i < 400; ++i) {
    const std::u16string text = RandomContent(random);
    RecordingKeyPlatform platform;
    KeySendState state;
    const bool complete = SendKeySequence(text.c_str(), state, platform).stop == SendStop::None;
    const std::vector<SequenceProblem> problems = FindSequenceProblems(text);
    size_t stops = 0, notReleased = 0;
    for (const SequenceProblem& p : problems) {
      stops += StopsSequence(p.kind) ? 1 : 0;
      notReleased += p.kind == Kind::KeyNeverReleased ? 1 : 0;
      ASSERT_LT(p.position, text.size());
      EXPECT_EQ(text[p.position], u'{') << text::Utf16ToUtf8(text);
    }
    EXPECT_EQ(!complete, stops == 1) << text::Utf16ToUtf8(text);
    EXPECT_EQ(KeysLeftDown(platform), notReleased) << text::Utf16ToUtf8(text);
    stopped += complete ? 0 : 1;
    held += notReleased != 0 ? 1 : 0;
    sound += problems.empty() ? 1 : 0;
  }
  // The generator reaches each side of both properties.
  EXPECT_GT(stopped, 20u);
  EXPECT_GT(held, 20u);
  EXPECT_GT(sound, 20u);
}

}  // namespace
}  // namespace kwo::keys
