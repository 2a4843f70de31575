// What the checking mode of the interpreter found, in words for the user.
#include "keys/SequenceCheck.h"

#include "text/Chars.h"

namespace kwo::keys {

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
