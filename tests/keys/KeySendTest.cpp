#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Transcript.h"
#include "keys/KeySend.h"
#include "keys/RecordingClipboardPlatform.h"
#include "keys/RecordingKeyPlatform.h"
#include "text/Utf.h"

namespace kwo::keys {
namespace {

using testing::Transcript;

struct KeySequence : ::testing::Test {
  RecordingKeyPlatform platform;
  KeySendState state;

  // Runs one call with the fixture's state and returns what it did.
  std::string Send(const std::u16string& text, bool expectComplete = true) {
    platform.Clear();
    EXPECT_EQ(static_cast<bool>(SendKeySequence(text.c_str(), state, platform)), expectComplete)
        << Transcript(platform);
    return Transcript(platform);
  }
};

TEST_F(KeySequence, PlainTextIsTypedAsUnicodeUnits) {
  EXPECT_EQ(Send(u"ab\u4E2D"), "'a' 'b' U+4E2D");
  EXPECT_EQ(Send(u"}+-^%~= "), "'}' '+' '-' '^' '%' '~' '=' U+0020");
  EXPECT_EQ(Send(u"\U0001F600"), "U+D83D U+DE00");  // a surrogate pair is two units
  EXPECT_EQ(Send(u""), "");
}

TEST_F(KeySequence, BackslashTypesTheNextUnitLiterally) {
  EXPECT_EQ(Send(u"a\\{b}"), "'a' '{' 'b' '}'");
  EXPECT_EQ(Send(u"\\\\"), "'\\'");
  EXPECT_EQ(Send(u"x\\"), "'x' '\\'");
  EXPECT_EQ(Send(u"\\\n\\\t"), "U+000A U+0009");  // escaped controls are characters, not keys
  EXPECT_EQ(Send(u"\\\\{ENTER}"), "'\\' P13");
}

TEST_F(KeySequence, ControlUnitsPressKeys) {
  EXPECT_EQ(Send(u"a\r\nb"), "'a' P13 'b'");
  EXPECT_EQ(Send(u"a\nb"), "'a' P13 'b'");
  EXPECT_EQ(Send(u"a\n\nb"), "'a' P13 P13 'b'");
  EXPECT_EQ(Send(u"a\rb"), "'a' P13 'b'");
  EXPECT_EQ(Send(u"\r\r\n"), "P13 P13");
  EXPECT_EQ(Send(u"\n\r"), "P13 P13");
  EXPECT_EQ(Send(u"\t\b\x1B\x01\x1F"), "P9 P8 P27 P1 P31");
}

TEST_F(KeySequence, KeyNamesIgnoreCaseAndRepeat) {
  EXPECT_EQ(Send(u"{enter}{Enter}{ENTER}"), "P13 P13 P13");
  EXPECT_EQ(Send(u"{ENTER 2}"), "P13 P13");
  EXPECT_EQ(Send(u"{ENTER3}"), "P13 P13 P13");
  EXPECT_EQ(Send(u"{TAB 0}"), "");
  EXPECT_EQ(Send(u"{TABLE}"), "");  // the rest is no number: a count of 0
  EXPECT_EQ(Send(u"{DELETE}{DEL}{ESCAPE}{ESC}"), "P46x P46x P27 P27");
  EXPECT_EQ(Send(u"{F1 3}{F12}"), "P112 P112 P112 P123");
  EXPECT_EQ(Send(u"{NUMPAD12}"), "P97 P97");
  EXPECT_EQ(Send(u"{prtsc}{win}{home}{pgdn}"), "P42 P91 P36x P34x");
}

TEST_F(KeySequence, RepeatCountsUseTheLow16Bits) {
  EXPECT_EQ(Send(u"{TAB 65538}"), "P9 P9");
  platform.Clear();
  KeySendState fresh;
  SendKeySequence(u"{TAB -1}", fresh, platform);
  EXPECT_EQ(platform.sendCalls(), 65535u);
}

TEST_F(KeySequence, PressOnlyAndReleaseOnlyMarks) {
  EXPECT_EQ(Send(u"{SHIFT+}"), "D16");
  EXPECT_EQ(Send(u"{SHIFT-}"), "U16");
  EXPECT_EQ(Send(u"{SHIFT}"), "P16");
  EXPECT_EQ(Send(u"{ctrl+}{c}{ctrl-}"), "D17 P67 U17");
  EXPECT_EQ(Send(u"{DEL+}{DEL-}"), "D46x U46x");
  EXPECT_EQ(Send(u"{SHIFT 3+}"), "D16");  // the rest is ignored when holding
  EXPECT_EQ(Send(u"{+}{-}"), "P43 P45");  // a single + or - is the group itself
  EXPECT_EQ(Send(u"+-"), "'+' '-'");
  EXPECT_EQ(Send(u"{A+}{AB-}"), "P65 P65 P66");  // the mark means nothing without a key name
}

TEST_F(KeySequence, UnknownNamesPressEachUnitAsAKeyCode) {
  EXPECT_EQ(Send(u"{a}{A}{ab}{5}"), "P65 P65 P65 P66 P53");
  EXPECT_EQ(Send(u"{ ENTER}"), "P32 P69 P78 P84 P69 P82");
  EXPECT_EQ(Send(u"{BEEP}{VKEY}"), "P66 P69 P69 P80 P86 P75 P69 P89");
  EXPECT_EQ(Send(u"{APPACTIVATE}"), "P65 P80 P80 P65 P67 P84 P73 P86 P65 P84 P69");
}

TEST_F(KeySequence, UnitsThatAreNoVirtualKeysAreSkipped) {
  EXPECT_EQ(Send(u"{\u4E2D}"), "");
  EXPECT_EQ(Send(u"{x\u4E2Dy}"), "P88 P89");
  EXPECT_EQ(Send(u"{\uFF41}"), "");  // full-width a upper-cases to U+FF21, still no key
  EXPECT_EQ(Send(u"{VKEY 300}{VKEY 0}{VKEY -1}{VKEY 255}"), "");
}

TEST_F(KeySequence, EmptyAndOddGroups) {
  EXPECT_EQ(Send(u"{}"), "");
  EXPECT_EQ(Send(u"{}}"), "'}'");
  EXPECT_EQ(Send(u"a{}b"), "'a' 'b'");
  EXPECT_EQ(Send(u"{{}"), "P123");  // groups do not nest: the group text is "{" (code 123)
  EXPECT_EQ(Send(u"{\\}x"), "P92 'x'");  // nothing is escaped inside a group
}

TEST_F(KeySequence, VkeyPressesTheGivenCode) {
  EXPECT_EQ(Send(u"{VKEY 65}{vkey 13}"), "P65 P13");
  EXPECT_EQ(Send(u"{VKEY 65601}"), "P65");  // low 16 bits
  EXPECT_EQ(Send(u"{VKEY 46+}{VKEY 16-}"), "P46 P16");  // marks ignored, never extended
  EXPECT_EQ(Send(u"{VKEY  9}{VKEY x}"), "P9");
}

TEST_F(KeySequence, BeepNeedsFrequencyAndDuration) {
  EXPECT_EQ(Send(u"{BEEP 800 200}"), "B800,200");
  EXPECT_EQ(Send(u"{beep 440 1 2}"), "B440,1");
  EXPECT_EQ(Send(u"{BEEP 800}"), "");
  EXPECT_EQ(Send(u"{BEEP x y}"), "B0,0");
  EXPECT_EQ(Send(u"{BEEP 800 -5}"), "");  // would block for weeks inside Beep
  state.pendingDelayMs = 30;
  EXPECT_EQ(Send(u"{BEEP 800 10}a"), "B800,10 S30 'a'");  // no pause, pending kept for the key
}

TEST_F(KeySequence, AppActivatePassesTheUpperCasedTitleAndGoesOn) {
  EXPECT_EQ(Send(u"{APPACTIVATE Monthly report}x"), "A[MONTHLY REPORT] 'x'");
  EXPECT_EQ(Send(u"{appactivate \u6708\u5EA6\u62A5\u8868}"), "A[\xE6\x9C\x88\xE5\xBA\xA6\xE6\x8A\xA5\xE8\xA1\xA8]");
  EXPECT_EQ(Send(u"{APPACTIVATE  two  spaces }"), "A[ TWO  SPACES ]");
  EXPECT_EQ(Send(u"{APPACTIVATE }"), "A[]");
  platform.activateResult = false;
  EXPECT_EQ(Send(u"{APPACTIVATE NONE}y"), "A[NONE] 'y'");
}

TEST_F(KeySequence, DelayKeywords) {
  EXPECT_EQ(Send(u"{DELAY 500}a"), "S500 'a'");
  EXPECT_EQ(Send(u"{DELAY500}ab"), "S500 'a' 'b'");
  EXPECT_EQ(Send(u"{DELAY=30}abc"), "S30 'a' S30 'b' S30 'c'");
  EXPECT_EQ(Send(u"abc"), "'a' 'b' 'c'");  // the default pause ended with its call
  EXPECT_EQ(Send(u"{DELAY 50}{DELAY}x"), "'x'");  // {DELAY} cancels a pending pause
  EXPECT_EQ(Send(u"{DELAY=20}{DELAY 70}ab{DELAY=0}c"), "S70 'a' S20 'b' 'c'");
  EXPECT_EQ(Send(u"{delay=10}{ENTER 2}{SHIFT+}{SHIFT-}"), "S10 P13 S10 P13 S10 D16 U16");
}

TEST_F(KeySequence, NegativeDelaysTakeNoPause) {
  EXPECT_EQ(Send(u"{DELAY -5}a"), "'a'");
  EXPECT_EQ(Send(u"{DELAY=-5}ab"), "'a' 'b'");
  EXPECT_EQ(state.pendingDelayMs, 0);
}

TEST_F(KeySequence, PendingDelayCarriesIntoTheNextCall) {
  EXPECT_EQ(Send(u"{DELAY 50}"), "");
  EXPECT_EQ(state.pendingDelayMs, 50);
  EXPECT_EQ(Send(u"xy"), "S50 'x' 'y'");
  // The default pause does not: it ends with its call.
  EXPECT_EQ(Send(u"{DELAY=40}"), "");
  EXPECT_EQ(state.defaultDelayMs, 0);
  EXPECT_EQ(state.pendingDelayMs, 0);
  EXPECT_EQ(Send(u"x"), "'x'");
  // A release does not use up the carried pause.
  Send(u"{DELAY 60}");
  EXPECT_EQ(Send(u"{SHIFT-}{TAB 0}a"), "U16 S60 'a'");
}

TEST_F(KeySequence, GroupLimitIs299Units) {
  const std::u16string longest(299, u'A');
  EXPECT_EQ(platform.sendCalls(), 0u);
  Send(u"{" + longest + u"}");
  EXPECT_EQ(platform.sendCalls(), 299u);

  state.defaultDelayMs = 0;
  EXPECT_EQ(Send(u"{DELAY=5}ab{" + longest + u"A}cd", false), "S5 'a' S5 'b'");
  EXPECT_EQ(state.defaultDelayMs, 0);
  // Unterminated, too long: also stops.
  EXPECT_EQ(Send(u"x{" + longest + u"A", false), "'x'");
  // The limit counts the text before any + or - mark is removed.
  EXPECT_EQ(Send(u"{" + longest + u"+}", false), "");
  Send(u"{" + std::u16string(298, u'B') + u"+}");
  EXPECT_EQ(platform.sendCalls(), 298u);
}

TEST_F(KeySequence, UnterminatedGroupEndsTheCall) {
  EXPECT_EQ(Send(u"abc{TAB"), "'a' 'b' 'c' P9");
  EXPECT_EQ(Send(u"{SHIFT+"), "D16");
  EXPECT_EQ(Send(u"{"), "");
  EXPECT_EQ(Send(u"{DELAY=5"), "");
  EXPECT_EQ(state.defaultDelayMs, 0);
}

TEST_F(KeySequence, NullTextDoesNothing) {
  state.defaultDelayMs = 9;
  EXPECT_TRUE(SendKeySequence(nullptr, state, platform));
  EXPECT_TRUE(platform.actions().empty());
  EXPECT_EQ(state.defaultDelayMs, 0);
}

TEST_F(KeySequence, RefusedInputStopsTheSequenceAndReleasesHeldKeys) {
  // The third call (' ') is refused: nothing after it is typed, the held Ctrl is released.
  platform.refuseFirstCall = platform.refuseLastCall = 3;
  platform.Clear();
  EXPECT_EQ(SendKeySequence(u"{CTRL+}a b{CTRL-}cd", state, platform).stop, SendStop::InputRefused);
  EXPECT_EQ(Transcript(platform), "D17 'a' U17");
  // A repeat stops at the refused press; keys released by the sequence itself are not released again.
  platform.refuseFirstCall = platform.refuseLastCall = 4;
  EXPECT_EQ(Send(u"{SHIFT+}{SHIFT-}{TAB 5}x", false), "D16 U16 P9");
  // Refused from the first record on: nothing at all.
  platform.refuseFirstCall = 1;
  platform.refuseLastCall = SIZE_MAX;
  EXPECT_EQ(Send(u"{DELAY 50}{ALT+}{F4}", false), "S50");
  EXPECT_EQ(platform.sendCalls(), 1u);  // Alt never went down: F4 is not pressed, nothing is released
  platform.refuseFirstCall = SIZE_MAX;
  EXPECT_EQ(SendKeySequence((u"{" + std::u16string(300, u'A') + u"}").c_str(), state, platform).stop,
            SendStop::GroupTooLong);
  // A group too long stops the sequence the same way: the held Ctrl does not stay down.
  platform.Clear();
  EXPECT_EQ(SendKeySequence((u"{CTRL+}a{" + std::u16string(300, u'A') + u"}b{CTRL-}").c_str(), state, platform).stop,
            SendStop::GroupTooLong);
  EXPECT_EQ(Transcript(platform), "D17 'a' U17");
}

// Esc or the hotkey during a pause: nothing after it is sent, keys the
// sequence holds are released, and the result says where it stopped.
TEST_F(KeySequence, CancelledDuringAPauseSendsNothingMoreAndReleasesHeldKeys) {
  struct Case {
    std::u16string text;
    size_t cancelAtSleep;
    std::string transcript;
    std::u16string notSent;
  };
  const std::vector<Case> cases = {
      {u"{CTRL+}{SHIFT+}ab{DELAY 99999999}cd{SHIFT-}{CTRL-}", 1, "D17 D16 'a' 'b' S99999999 U16 U17",
       u"cd{SHIFT-}{CTRL-}"},
      // A default pause between the keys is cut short the same way, here on its third wait.
      {u"{DELAY=10}xyz{BEEP 800 10}", 3, "S10 'x' S10 'y' S10", u"z{BEEP 800 10}"},
      // Elements that press no key stop too once cancelled: the beep does not sound.
      {u"{DELAY 5}{CTRL+}{BEEP 800 10}{APPACTIVATE x}", 1, "S5", u"{CTRL+}{BEEP 800 10}{APPACTIVATE x}"},
  };
  for (const Case& c : cases) {
    platform.cancelAtSleep = c.cancelAtSleep;
    platform.Clear();
    const SendResult result = SendKeySequence(c.text.c_str(), state, platform);
    EXPECT_EQ(result.stop, SendStop::Cancelled) << text::Utf16ToUtf8(c.text);
    EXPECT_EQ(Transcript(platform), c.transcript);
    EXPECT_EQ(text::Utf16ToUtf8(c.text.substr(result.stoppedAt)), text::Utf16ToUtf8(c.notSent));
  }
  platform.cancelAtSleep = SIZE_MAX;
}

TEST_F(KeySequence, MixedSequence) {
  EXPECT_EQ(Send(u"Hi{TAB}\u4F60\u597D{ctrl+}{v}{ctrl-}\r\n{DELAY 5}{bs 2}."),
            "'H' 'i' P9 U+4F60 U+597D D17 P86 U17 P13 S5 P8 P8 '.'");
}


// Contents with long plain runs: the clipboard's steps among the key events.
struct ContentPaste : ::testing::Test {
  RecordingKeyPlatform platform;
  RecordingClipboardPlatform clipboard{platform};
  KeySendState state;

  // The transcript with <put:TEXT>, <wait> and <restore> where they happened.
  std::string Send(const std::u16string& text, size_t pasteAbove, bool expectComplete = true) {
    platform.Clear();
    clipboard.Clear();
    EXPECT_EQ(static_cast<bool>(SendContent(text.c_str(), pasteAbove, state, platform, clipboard)), expectComplete);
    std::vector<std::string> keys;
    std::istringstream tokens(Transcript(platform));
    for (std::string token; tokens >> token;) keys.push_back(token);
    std::string out;
    size_t next = 0;
    const auto add = [&out](const std::string& token) { out += (out.empty() ? "" : " ") + token; };
    for (const auto& call : clipboard.calls()) {
      while (next < call.keyActionsBefore) add(keys[next++]);
      const char* names[] = {"put:", "wait", "restore"};
      add("<" + (names[static_cast<int>(call.kind)] + text::Utf16ToUtf8(call.text)) + ">");
    }
    while (next < keys.size()) add(keys[next++]);
    return out;
  }
};

TEST_F(ContentPaste, LongRunIsPastedBetweenGroupsAndTheClipboardPutBackAfter) {
  EXPECT_EQ(Send(u"{HOME}abcd\nef{TAB}xy", 3), "P36x <put:abcd> D17 P86 U17 <wait> <restore> P13 'e' 'f' P9 'x' 'y'");
  // Line ends are pressed as Enter between the pasted lines, never pasted.
  EXPECT_EQ(Send(u"abcd\r\n\nefgh", 3),
            "<put:abcd> D17 P86 U17 <wait> <restore> P13 P13 <put:efgh> D17 P86 U17 <wait> <restore>");
  // A pending pause comes before the Ctrl; the default pause holds across pieces.
  // The pending pause is waited out before the text goes on the clipboard.
  EXPECT_EQ(Send(u"{DELAY=5}{DELAY 20}abcde{TAB}", 4), "S20 <put:abcde> D17 S5 P86 U17 <wait> <restore> S5 P9");
  // Short runs and a limit of 0 leave the clipboard alone.
  EXPECT_EQ(Send(u"ab{TAB}", 2), "'a' 'b' P9");
  EXPECT_EQ(Send(u"abcdef", 0), "'a' 'b' 'c' 'd' 'e' 'f'");
}

TEST_F(ContentPaste, HeldClipboardOrHeldKeysTypeTheRun) {
  clipboard.held = true;
  EXPECT_EQ(Send(u"a\\{c", 2), "'a' '{' 'c'");
  clipboard.held = false;
  // Shift held by the sequence would make Ctrl+V another shortcut.
  EXPECT_EQ(Send(u"{SHIFT+}abc{SHIFT-}", 2), "D16 'a' 'b' 'c' U16");
}

// Cancelled in the pause before a paste: the clipboard is not touched; during
// the Ctrl+V: Ctrl is released and the user's clipboard put back.
TEST_F(ContentPaste, CancelledPasteLeavesTheClipboardAndReleasesCtrl) {
  platform.cancelAtSleep = 1;
  const std::u16string text = u"abcde{DELAY 99999999}fghij{TAB}";
  EXPECT_EQ(Send(text, 4, false), "<put:abcde> D17 P86 U17 <wait> <restore> S99999999");
  platform.cancelAtSleep = 2;
  EXPECT_EQ(Send(u"{DELAY=7}abcde", 4, false), "<put:abcde> S7 D17 S7 U17 <restore>");
  platform.cancelAtSleep = 1;
  platform.Clear();
  const SendResult result = SendContent(text.c_str(), 4, state, platform, clipboard);
  EXPECT_EQ(result.stop, SendStop::Cancelled);
  EXPECT_EQ(text.substr(result.stoppedAt), u"fghij{TAB}");
  platform.cancelAtSleep = SIZE_MAX;
}

TEST_F(ContentPaste, RefusedPasteKeyStopsReleasesCtrlAndStillRestores) {
  platform.refuseFirstCall = platform.refuseLastCall = 2;  // the V
  EXPECT_EQ(Send(u"abcde{TAB}", 4, false), "<put:abcde> D17 U17 <restore>");
}

}  // namespace
}  // namespace kwo::keys
