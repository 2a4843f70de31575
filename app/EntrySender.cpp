#include "app/EntrySender.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "desktop/PopupPlacement.h"

namespace kwo::app {
namespace {

using desktop::TargetProblem;

SendOutcome Report(SendOutcome::Result result, std::wstring notice = {}) { return {result, std::move(notice)}; }

// One sending of the key platform: Esc and the hotkey cancel it, its pauses
// answer the program's messages.
class SendingScope {
 public:
  explicit SendingScope(keys::KeyPlatform& platform) : platform_(platform) { platform_.BeginSending(); }
  ~SendingScope() { platform_.EndSending(); }
  SendingScope(const SendingScope&) = delete;
  SendingScope& operator=(const SendingScope&) = delete;

 private:
  keys::KeyPlatform& platform_;
};

constexpr uint16_t kEnterKey = 0x0D;  // VK_RETURN

// A sending already runs (its pause answers messages, among them a timer's or
// a click on the tray menu): a second one would type into the middle of it.
const wchar_t kBusyText[] = L"内容没有发送：上一条内容还在发送中。\n按 Esc 可以取消它。";

}  // namespace

void CEntrySender::LetTargetTakeItsKeys() {
  // Seen under Wine: "ok" of a sending stopped after it arrived as "o" when a
  // notice came up at once. Two round trips of WM_NULL: the second one is
  // answered only after the thread has gone back to its queue, where the keys
  // are next. Bounded, so that a hung window does not hold the notice back.
  constexpr uint32_t kTimeoutMs = 1000;
  const desktop::WindowId front = targetPlatform.ForegroundWindow();
  if (front == 0 || !targetPlatform.CanBeTarget(front)) return;
  for (int trip = 0; trip < 2; ++trip) {
    if (!targetPlatform.WindowAnswers(front, kTimeoutMs)) return;
  }
}

void CEntrySender::RememberTarget(bool keepWhenNone) {
  const desktop::Target front = desktop::CaptureForeground(targetPlatform);
  if (front.window != 0 || !keepWhenNone) target = front;
}

void CEntrySender::PlaceNearTarget(desktop::WindowId dialog) {
  // Moved onto a monitor of another DPI the dialog changes its size: placed once more at the new size.
  for (int pass = 0; pass < 2; ++pass) {
    const auto from = targetPlatform.WindowRect(dialog);
    if (!from) return;
    const desktop::ScreenRect to = desktop::PlaceForTarget(targetPlatform, target, *from);
    if (to == *from) return;
    targetPlatform.PlaceWindow(dialog, to.left, to.top);
  }
}

SendOutcome CEntrySender::SendEntry(desktop::WindowId dialog, const EntryTexts& texts) {
  if (keyPlatform.Sending()) return Report(SendOutcome::Result::NotSent, kBusyText);
  // Held down, the Enter that started the sending would repeat into the target.
  if (!desktop::WaitForKeysUp(targetPlatform, {kEnterKey}, times.keysMs, times.pollMs)) {
    return Report(SendOutcome::Result::NotSent, NotSentText(TargetProblem::KeysHeld, false, hotKeyText));
  }
  targetPlatform.HideWindow(dialog);
  // Leaves the pause pending, as it always did, even when nothing is typed.
  const std::u16string delay = u"{DELAY 50}";
  if (texts.content.empty()) {
    keys::SendKeySequence(delay.c_str(), sendState, keyPlatform);
    return Report(SendOutcome::Result::Typed);
  }

  desktop::Target lockOn = target;
  if (lockOn.window == 0) {
    // Called up while no other program's window was in front (from the
    // notification icon): the window the system activates now is taken.
    const uint64_t start = targetPlatform.NowMs();
    while ((lockOn = desktop::CaptureForeground(targetPlatform)).window == 0 &&
           targetPlatform.NowMs() - start < times.frontMs) {
      targetPlatform.Wait(times.pollMs);
    }
  }
  const TargetProblem problem = desktop::LockTarget(targetPlatform, lockOn, times);
  if (problem != TargetProblem::None) return Report(SendOutcome::Result::NotSent, NotSentText(problem, false, hotKeyText));

  const std::u16string* pieces[4] = {&delay};
  size_t count = 1;
  if (!texts.prefix.empty()) pieces[count++] = &texts.prefix;
  pieces[count++] = &texts.content;
  if (!texts.suffix.empty()) pieces[count++] = &texts.suffix;
  return Type(pieces, count, false, &texts.content);
}

SendOutcome CEntrySender::SendTimed(const std::u16string& sequence) {
  if (keyPlatform.Sending()) return Report(SendOutcome::Result::Skipped);
  const desktop::Target front = desktop::CaptureForeground(targetPlatform);
  const TargetProblem problem = desktop::LockTarget(targetPlatform, front, times);
  switch (problem) {
    case TargetProblem::None: {
      const std::u16string* pieces[1] = {&sequence};
      return Type(pieces, 1, true);
    }
    case TargetProblem::Hung:
    case TargetProblem::Elevated:
      return Report(SendOutcome::Result::NotSent, NotSentText(problem, true, hotKeyText));
    default:
      // Nothing in front, or keys held: this tick is left out.
      return Report(SendOutcome::Result::Skipped);
  }
}

SendOutcome CEntrySender::Type(const std::u16string* const* pieces, size_t count, bool timed,
                               const std::u16string* content) {
  const SendingScope sending(keyPlatform);
  // The fields of all pieces read one moment and one clipboard text.
  sendState.fields = keys::FieldContext();
  sendState.fields.now = targetPlatform.LocalNow();
  sendState.fields.clipboard = &clipboardPlatform;
  for (size_t i = 0; i < count; ++i) {
    const keys::SendResult result =
        pieces[i] == content
            ? keys::SendContent(pieces[i]->c_str(), pasteAbove, sendState, keyPlatform, clipboardPlatform)
            : keys::SendKeySequence(pieces[i]->c_str(), sendState, keyPlatform);
    if (result) continue;
    LetTargetTakeItsKeys();
    std::u16string notSent = pieces[i]->substr(std::min(result.stoppedAt, pieces[i]->size()));
    for (size_t j = i + 1; j < count; ++j) notSent += *pieces[j];
    return Report(SendOutcome::Result::Stopped, StoppedText(result.stop, timed, notSent));
  }
  // The caret goes back to the {光标} mark once the suffix is typed too.
  if (!keys::PlaceCaret(sendState, keyPlatform)) {
    LetTargetTakeItsKeys();
    const keys::SendStop stop = keyPlatform.Cancelled() ? keys::SendStop::Cancelled : keys::SendStop::InputRefused;
    return Report(SendOutcome::Result::Stopped, StoppedText(stop, timed));
  }
  // A hotkey pressed as the last keys went out found nothing left to cancel.
  keyPlatform.GiveBackUnusedHotKey();
  return Report(SendOutcome::Result::Typed);
}

std::wstring NotSentText(TargetProblem problem, bool timed, const std::wstring& hotKeyText) {
  std::wstring text = timed ? L"定时输入的内容没有发送：" : L"内容没有发送：";
  switch (problem) {
    case TargetProblem::None:
      return {};
    case TargetProblem::NoTarget:
      return text + L"没有找到要输入的窗口。\n请先切换到要输入的窗口，再按 " + hotKeyText + L"。";
    case TargetProblem::Gone:
      return text + L"原来的窗口已经关闭。\n请先切换到要输入的窗口，再按 " + hotKeyText + L"。";
    case TargetProblem::Hung:
      return text + L"目标窗口没有响应。\n请等它恢复后再试。";
    case TargetProblem::Elevated:
      return text + L"目标窗口以管理员身份运行，Windows 不允许向它模拟键盘输入。\n"
                    L"请以管理员身份运行疾书精灵。";
    case TargetProblem::NotInFront:
      return text + L"目标窗口没能回到前台（可能有其他程序占据了前台）。\n请按回车重试。";
    case TargetProblem::KeysHeld:
      return text + L"Ctrl、Alt、Shift、Win 或回车键一直被按住。\n请松开后按回车重试。";
  }
  return text;
}

std::wstring StoppedText(keys::SendStop stop, bool timed, const std::u16string& notSent) {
  std::wstring text = timed ? L"定时输入的内容没有全部发送：" : L"内容没有全部发送：";
  switch (stop) {
    case keys::SendStop::None:
      return {};
    case keys::SendStop::GroupTooLong:
      return text + L"花括号中的文字超过 299 个字符，输入在那里停止了。";
    case keys::SendStop::InputRefused:
      return text + L"Windows 拒绝了模拟的键盘输入，输入已停止。\n"
                    L"如果目标窗口以管理员身份运行，请以管理员身份运行疾书精灵。";
    case keys::SendStop::Cancelled: {
      // The rest as written in the entry, cut short when long.
      constexpr size_t kShown = 80;
      std::wstring rest(notSent.begin(), notSent.begin() + static_cast<std::ptrdiff_t>(std::min(notSent.size(), kShown)));
      if (notSent.size() > kShown) rest += L"…";
      return text + L"发送已按 Esc 或热键取消。\n没有发送的部分：" + (rest.empty() ? L"（无）" : rest);
    }
  }
  return text;
}

}  // namespace kwo::app
