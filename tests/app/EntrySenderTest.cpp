// The sender's flow over the recording twins of its three seams: wait for
// Enter to go up, hide the main window, take the target, lock it, type the
// pieces in one sending, report. The end-to-end tests (tests/e2e/send_test.sh)
// run the same flow on the real desktop.
#include "app/EntrySender.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "desktop/RecordingTargetPlatform.h"
#include "keys/RecordingClipboardPlatform.h"
#include "keys/RecordingKeyPlatform.h"
#include "keys/Transcript.h"

namespace kwo::app {
namespace {

using desktop::RecordingTargetPlatform;
using desktop::WindowId;
using Result = SendOutcome::Result;

constexpr WindowId kEditor = 0x100;
constexpr WindowId kOther = 0x300;
constexpr WindowId kMain = 0x200;  // the main window
constexpr uint32_t kEditorThread = 7;
constexpr uint16_t kEnter = 0x0D;
constexpr uint16_t kCtrl = 0x11;
constexpr uint64_t kNever = RecordingTargetPlatform::kNever;

// The editor was in front when the main window was called up; the main
// window is in front now.
struct Desk {
  keys::RecordingKeyPlatform keys;
  keys::RecordingClipboardPlatform clipboard{keys};
  RecordingTargetPlatform desktop;
  CEntrySender sender{keys, clipboard, desktop};
  EntryTexts texts{u"{HOME}", u"ab", u"{ENTER}"};

  Desk() {
    desktop.windows[kEditor].thread = kEditorThread;
    desktop.windows[kOther].thread = 9;
    desktop.windows[kMain] = {3, true};
    desktop.Activate(kEditor);
    sender.RememberTarget(false);
    desktop.Activate(kMain);
  }
  std::string Keys() const { return keys::testing::Transcript(keys); }
  bool Hidden() const { return !desktop.hidden.empty() && desktop.hidden.front().window == kMain; }
};

// No notice when `part` is empty; else one that holds it.
void ExpectNotice(const SendOutcome& outcome, const wchar_t* part) {
  if (*part == 0) {
    EXPECT_EQ(outcome.notice, L"");
  } else {
    EXPECT_NE(outcome.notice.find(part), std::wstring::npos) << ::testing::PrintToString(outcome.notice);
  }
}

struct FlowCase {
  const char* name;
  std::function<void(Desk&)> script;  // what differs from the desk above
  Result result;
  std::string keys;      // what was typed (tests/keys/Transcript.h)
  const wchar_t* notice; // a part of the notice; empty: none
  bool hidden;           // the main window was hidden
};

TEST(EntrySender, EntryFlows) {
  const FlowCase cases[] = {
      {"typed, within one sending; the unused hotkey given back", [](Desk&) {}, Result::Typed,
       "< S50 P36x 'a' 'b' P13 G >", L"", true},
      {"no prefix nor suffix", [](Desk& d) { d.texts = {u"", u"ab", u""}; }, Result::Typed, "< S50 'a' 'b' G >",
       L"", true},
      {"empty content: hidden, nothing typed", [](Desk& d) { d.texts = {u"{HOME}", u"", u"{ENTER}"}; },
       Result::Typed, "", L"", true},
      {"Enter let go late", [](Desk& d) { d.desktop.keyReleasedAtMs[kEnter] = 300; }, Result::Typed,
       "< S50 P36x 'a' 'b' P13 G >", L"", true},
      {"Enter held: not even hidden", [](Desk& d) { d.desktop.keyReleasedAtMs[kEnter] = kNever; },
       Result::NotSent, "", L"回车键一直被按住", false},
      {"Ctrl held after the target came back", [](Desk& d) { d.desktop.keyReleasedAtMs[kCtrl] = kNever; },
       Result::NotSent, "", L"回车键一直被按住", true},
      {"target closed", [](Desk& d) { d.desktop.windows[kEditor].closesAtMs = 0; }, Result::NotSent, "",
       L"原来的窗口已经关闭", true},
      {"target's handle now another thread's window",
       [](Desk& d) { d.desktop.windows[kEditor].thread = 8; }, Result::NotSent, "", L"原来的窗口已经关闭", true},
      {"target hangs", [](Desk& d) { d.desktop.windows[kEditor].answers = false; }, Result::NotSent, "",
       L"目标窗口没有响应", true},
      {"target elevated", [](Desk& d) { d.desktop.windows[kEditor].integrity = {true, 0x3000}; },
       Result::NotSent, "", L"以管理员身份运行", true},
      {"target never comes back to the front", [](Desk& d) { d.desktop.frontDelayMs = kNever; },
       Result::NotSent, "", L"没能回到前台", true},
      {"no target remembered: the window the system activates is taken",
       [](Desk& d) {
         d.desktop.Activate(kMain);
         d.sender.RememberTarget(false);
         d.desktop.frontAfterHide = kOther;
         d.desktop.frontDelayMs = 200;
       },
       Result::Typed, "< S50 P36x 'a' 'b' P13 G >", L"", true},
      {"no target remembered and none comes",
       [](Desk& d) {
         d.desktop.Activate(kMain);
         d.sender.RememberTarget(false);
       },
       Result::NotSent, "", L"没有找到要输入的窗口", true},
      {"Esc during the first pause: nothing typed, the rest named", [](Desk& d) { d.keys.cancelAtSleep = 1; },
       Result::Stopped, "< S50 >", L"没有发送的部分：{HOME}ab{ENTER}", true},
      {"Esc in the content: the rest named from there",
       [](Desk& d) {
         d.texts.content = u"a{DELAY 5}b";
         d.keys.cancelAtSleep = 2;
       },
       Result::Stopped, "< S50 P36x 'a' S5 >", L"没有发送的部分：b{ENTER}", true},
      {"input refused part-way", [](Desk& d) { d.keys.refuseFirstCall = 2; }, Result::Stopped, "< S50 P36x >",
       L"Windows 拒绝了模拟的键盘输入", true},
      {"a long run pasted", [](Desk& d) { d.sender.pasteAbove = 1; }, Result::Typed,
       "< S50 P36x D17 P86 U17 P13 G >", L"", true},
      {"the clipboard held: the run typed instead",
       [](Desk& d) {
         d.sender.pasteAbove = 1;
         d.clipboard.held = true;
       },
       Result::Typed, "< S50 P36x 'a' 'b' P13 G >", L"", true},
      {"fields: the sending's moment, the clipboard's text, the caret back after the suffix",
       [](Desk& d) {
         d.texts.content = u"{DATE yyMM}{剪贴板}{光标}x";
         d.clipboard.userText = u"c";
       },
       Result::Typed, "< S50 P36x '2' '6' '1' '2' 'c' 'x' P13 P37x P37x G >", L"", true},
      {"Esc while the caret goes back",
       [](Desk& d) {
         d.texts = {u"", u"a{光标}b", u"{DELAY 5}"};
         d.keys.cancelAtSleep = 2;
       },
       Result::Stopped, "< S50 'a' 'b' S5 >", L"发送已按 Esc 或热键取消", true},
      {"a sending already runs", [](Desk& d) { d.keys.BeginSending(); }, Result::NotSent, "<",
       L"上一条内容还在发送中", false},
  };
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.name);
    Desk desk;
    c.script(desk);
    const SendOutcome outcome = desk.sender.SendEntry(kMain, desk.texts);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(desk.Keys(), c.keys);
    ExpectNotice(outcome, c.notice);
    EXPECT_EQ(desk.Hidden(), c.hidden);
  }
}

TEST(EntrySender, HidesOnlyOnceEnterIsUpAndTypesOnlyOnceTheTargetIsBack) {
  Desk desk;
  desk.desktop.keyReleasedAtMs[kEnter] = 300;
  desk.desktop.frontDelayMs = 120;
  ASSERT_EQ(desk.sender.SendEntry(kMain, desk.texts).result, Result::Typed);
  ASSERT_EQ(desk.desktop.hidden.size(), 1u);
  EXPECT_GE(desk.desktop.hidden[0].atMs, 300u);
  EXPECT_GE(desk.desktop.now, 300u + 120u);  // the keys went out after the editor was back
  EXPECT_EQ(desk.desktop.ForegroundWindow(), kEditor);
}

TEST(EntrySender, PasteRestoresTheClipboardAfterTheTargetTookIt) {
  Desk desk;
  desk.sender.pasteAbove = 1;
  desk.texts = {u"", u"abc", u""};
  ASSERT_EQ(desk.sender.SendEntry(kMain, desk.texts).result, Result::Typed);
  using Kind = keys::RecordingClipboardPlatform::Kind;
  ASSERT_EQ(desk.clipboard.calls().size(), 3u);
  EXPECT_EQ(desk.clipboard.calls()[0].kind, Kind::Put);
  EXPECT_EQ(desk.clipboard.calls()[0].text, u"abc");
  EXPECT_EQ(desk.clipboard.calls()[1].kind, Kind::Wait);
  EXPECT_EQ(desk.clipboard.calls()[2].kind, Kind::Restore);
}

struct TimedCase {
  const char* name;
  std::function<void(Desk&)> script;
  Result result;
  std::string keys;
  const wchar_t* notice;
};

TEST(EntrySender, TimedFlows) {
  const TimedCase cases[] = {
      {"typed into the window in front", [](Desk& d) { d.desktop.Activate(kEditor); }, Result::Typed,
       "< D17 's' U17 G >", L""},
      {"our own window in front: left out", [](Desk&) {}, Result::Skipped, "", L""},
      {"a modifier held: left out",
       [](Desk& d) {
         d.desktop.Activate(kEditor);
         d.desktop.keyReleasedAtMs[kCtrl] = kNever;
       },
       Result::Skipped, "", L""},
      {"the window in front hangs: told",
       [](Desk& d) {
         d.desktop.Activate(kEditor);
         d.desktop.windows[kEditor].answers = false;
       },
       Result::NotSent, "", L"定时输入的内容没有发送：目标窗口没有响应"},
      {"refused part-way: told",
       [](Desk& d) {
         d.desktop.Activate(kEditor);
         d.keys.refuseFirstCall = d.keys.refuseLastCall = 2;  // the release goes through
       },
       Result::Stopped, "< D17 U17 >", L"定时输入的内容没有全部发送"},
      {"a sending already runs: left out",
       [](Desk& d) {
         d.desktop.Activate(kEditor);
         d.keys.BeginSending();
       },
       Result::Skipped, "<", L""},
  };
  for (const TimedCase& c : cases) {
    SCOPED_TRACE(c.name);
    Desk desk;
    c.script(desk);
    const SendOutcome outcome = desk.sender.SendTimed(u"{CTRL+}s{CTRL-}");
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(desk.Keys(), c.keys);
    ExpectNotice(outcome, c.notice);
    EXPECT_TRUE(desk.desktop.hidden.empty());
  }
}

TEST(EntrySender, PlacesTheMainWindowAtTheTargetsCaret) {
  Desk desk;
  desk.desktop.windows[kMain].rect = {0, 0, 400, 300};
  desk.desktop.carets[kEditorThread] = {500, 200, 502, 220};
  desk.sender.PlaceNearTarget(kMain);
  EXPECT_EQ(desk.desktop.windows[kMain].rect, (desktop::ScreenRect{500, 220, 900, 520}));
  EXPECT_EQ(desk.desktop.placements, 1);
  desk.sender.PlaceNearTarget(kMain);  // already there
  EXPECT_EQ(desk.desktop.placements, 1);
  desk.sender.PlaceNearTarget(0x999);  // no such window
  EXPECT_EQ(desk.desktop.placements, 1);
}

}  // namespace
}  // namespace kwo::app
