// The checking mode of the interpreter: its platform, and what it found in
// words for the user.
#include "keys/SequenceCheck.h"

#include <algorithm>

#include "keys/CheckingPlatform.h"
#include "text/Chars.h"

namespace kwo::keys {

void CheckingPlatform::BeginGroup(size_t position, std::u16string_view written) {
  position_ = position;
  constexpr size_t kShown = 24;
  group_.assign(written.substr(0, kShown));
  if (written.size() > kShown) group_ += u"…";
}

void CheckingPlatform::Note(SequenceProblemKind kind, std::u16string wanted) {
  problems_.push_back({kind, position_, group_, std::move(wanted)});
}

void CheckingPlatform::AddPause(long long milliseconds) {
  pausesMs_ += milliseconds;
  if (pausesMs_ > kLongestCheckedPauseMs && overAt_ == std::u16string::npos) {
    overAt_ = position_;
    overGroup_ = group_;
  }
}

std::vector<SequenceProblem> CheckingPlatform::Finish(int32_t pendingMs) {
  if (pendingMs > 0) AddPause(pendingMs);
  // One pause too long already says it; the sum is told when only the sum is.
  const bool longPauseNoted = std::any_of(problems_.begin(), problems_.end(), [](const SequenceProblem& p) {
    return p.kind == SequenceProblemKind::PauseTooLong;
  });
  if (overAt_ != std::u16string::npos && !longPauseNoted) {
    problems_.push_back({SequenceProblemKind::PausesTooLong, overAt_, overGroup_, std::u16string(), pausesMs_});
  }
  for (const auto& key : held_) {
    problems_.push_back({SequenceProblemKind::KeyNeverReleased, key.second.first, key.second.second, std::u16string()});
  }
  std::stable_sort(problems_.begin(), problems_.end(),
                   [](const SequenceProblem& a, const SequenceProblem& b) { return a.position < b.position; });
  return std::move(problems_);
}

bool CheckingPlatform::SendEvents(const KeyEvent* events, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (events[i].flags & kUnicode) continue;
    if (events[i].flags & kKeyUp) {
      held_.erase(events[i].vk);
    } else if (i + 1 < count && events[i + 1].vk == events[i].vk && (events[i + 1].flags & kKeyUp)) {
      // Pressed and let go in one call, as every repeat of {KEY n} is:
      // the key ends up, without noting where it went down.
      held_.erase(events[i].vk);
      ++i;
    } else {
      held_[events[i].vk] = {position_, group_};
    }
  }
  return true;
}

std::vector<SequenceProblem> FindSequenceProblems(const std::u16string& text) {
  // Every problem is in a group: a text without "{" is typed as it stands
  // (import checks every content, most of them plain text).
  if (text.find(u'{') == std::u16string::npos) return {};
  CheckingPlatform checker;
  KeySendState state;
  RunChecking(std::u16string_view(text.c_str()), state, checker);
  return checker.Finish(state.pendingDelayMs);
}

SequenceProblem CheckKeySequence(const std::u16string& text) {
  std::vector<SequenceProblem> problems = FindSequenceProblems(text);
  return problems.empty() ? SequenceProblem() : std::move(problems.front());
}

bool StopsSequence(SequenceProblemKind kind) { return kind == SequenceProblemKind::GroupTooLong; }

std::u16string DescribeSequenceProblem(const SequenceProblem& problem) {
  std::u16string what;
  switch (problem.kind) {
    case SequenceProblemKind::None:
      return u"内容正确";
    case SequenceProblemKind::UnknownKeyName:
      what = u"不是已知的键名，不会按下想要的键（例如回车写作 {ENTER}）";
      break;
    case SequenceProblemKind::UnterminatedGroup:
      what = u"缺少右括号 }，后面的内容都会被当作键名；要输入 { 本身请写 \\{";
      break;
    case SequenceProblemKind::GroupTooLong:
      what = u"括号内超过 299 个字符，发送会在这里停止";
      break;
    case SequenceProblemKind::NumberOutOfRange:
      what = u"中的数字不对，应是 " + problem.wanted;
      break;
    case SequenceProblemKind::CharacterAsKey:
      what = u"会按下键码与这个字符相同的键，而不是输入它；要输入 { 本身请写 \\{，其他字符请写在括号外";
      break;
    case SequenceProblemKind::NoWindowTitle:
      what = u"没有写窗口标题，不会切换窗口（例如 {APPACTIVATE 记事本}）";
      break;
    case SequenceProblemKind::PauseTooLong:
      what = u"暂停超过 60 秒，这期间疾书精灵不能输入别的内容";
      break;
    case SequenceProblemKind::PausesTooLong:
      what = u"使所有暂停加起来有 " + text::FormatDecimal(problem.pauseMs / 1000) +
             u" 秒，超过 60 秒，这期间疾书精灵不能输入别的内容";
      break;
    case SequenceProblemKind::FieldArgument:
      what = u"的写法不对，应是 " + problem.wanted;
      break;
    case SequenceProblemKind::SecondCaretMark:
      what = u"是第二个光标位置，只有第一个 {光标} 起作用";
      break;
    case SequenceProblemKind::FillInNotReady:
      what = u"是填写字段，这个版本还不能填写，发送时不输入任何内容";
      break;
    case SequenceProblemKind::KeyNeverReleased: {
      std::u16string release = problem.group;
      if (release.size() >= 2 && release[release.size() - 2] == u'+') release[release.size() - 2] = u'-';
      what = u"按下的键后面没有放开（缺少 " + release + u"），会一直按着";
      break;
    }
  }
  return u"第 " + text::FormatDecimal(static_cast<int64_t>(problem.position) + 1) + u" 个字符处的 " + problem.group +
         u" " + what;
}

}  // namespace kwo::keys
