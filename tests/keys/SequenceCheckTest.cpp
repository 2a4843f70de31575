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
      {u"{TAB 0}{}{}}{+}{a}{NUMPAD12}{DELAY}", Kind::None, 0},
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
