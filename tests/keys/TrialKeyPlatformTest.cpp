#include <gtest/gtest.h>

#include "keys/KeySend.h"
#include "keys/TrialKeyPlatform.h"

namespace kwo::keys {
namespace {

// What the scratch box of the edit dialog shows for a content, as the interpreter carries it out.
TEST(TrialKeyPlatform, ShowsTextAndMarksWhatABoxCannotShow) {
  struct Case {
    const char16_t* content;
    const char16_t* shown;
  } cases[] = {
      {u"您好{ENTER 2}再见", u"您好\r\n\r\n再见"},
      {u"a{TAB}b{SPACE}c{BS}d", u"a\tb d"},
      {u"x{ENTER}{BACKSPACE}😀{BS}y", u"xy"},
      {u"{CTRL+}{c}{CTRL-}{SHIFT+}{a}1{SHIFT-}{VKEY 65}", u"〔CTRL+C〕A1a"},
      {u"{HOME}{BS}{DELAY 5000}{BEEP 800 200}", u"〔HOME〕〔BACKSPACE〕〔响铃〕"},
      {u"{APPACTIVATE 记事本}写{ALT+}{F4}{ALT-}", u"〔切换到 记事本〕写〔ALT+F4〕"},
      {u"{ENTR}\\{", u"entr{"},
  };
  for (const Case& c : cases) {
    TrialKeyPlatform platform;
    KeySendState state;
    SendKeySequence(c.content, state, platform);
    EXPECT_EQ(platform.Text(), c.shown);
  }
}

}  // namespace
}  // namespace kwo::keys
