#pragma once
// Checks a key sequence before it is sent: the interpreter itself runs over
// the text in a checking mode (nothing is typed, nothing waits) and notes
// where the text would not do what it seems to say.
#include <cstddef>
#include <string>
#include <vector>

namespace kwo::keys {

enum class SequenceProblemKind {
  None,
  UnknownKeyName,     // {ENTR}, {TABLE}, {中}: no key of that name; other keys or none are pressed
  UnterminatedGroup,  // a { without its }: the rest of the text is taken as one group
  GroupTooLong,       // 300 or more units between the braces: sending stops there
  NumberOutOfRange,   // {VKEY 300}, {ENTER -1}, {DELAY -5}, {BEEP 10 100}, {BEEP 800}
  KeyNeverReleased,   // {CTRL+} without a later {CTRL-}: the key stays down
  CharacterAsKey,     // {{}, {.}: the key with that character's code is pressed (F12, Delete), not the character typed
  NoWindowTitle,      // {APPACTIVATE }: no title, no window is activated
  PauseTooLong,       // {DELAY 99999999}, {DELAY=70000}: one pause of more than a minute
  PausesTooLong,      // the pauses of the whole text come to more than a minute
  FieldArgument,      // {日期 +x天}, {农历 月}: a field's offset or option it does not know
  SecondCaretMark,    // a {光标} after the first: it is ignored
  FillInNotReady,     // {填写 …}: types nothing in this version
};

// Pauses longer than this, alone or together, are reported: while a sending
// pauses nothing else can be typed.
constexpr long long kLongestCheckedPauseMs = 60000;

struct SequenceProblem {
  SequenceProblemKind kind = SequenceProblemKind::None;
  size_t position = 0;    // code-unit offset of the group's "{"
  std::u16string group;   // the group as written, braces included, shortened when long
  std::u16string wanted;  // NumberOutOfRange: what the number should be
  long long pauseMs = 0;  // PausesTooLong: the pauses of the whole text together
};

// Every problem, ordered by position; empty for a sound text. The text is
// read up to its first NUL, as the interpreter reads it.
std::vector<SequenceProblem> FindSequenceProblems(const std::u16string& text);
// The first problem, or one of kind None.
SequenceProblem CheckKeySequence(const std::u16string& text);
// The problems after which nothing more of the text is sent.
bool StopsSequence(SequenceProblemKind kind);
// One line for the user: "内容正确", or where the problem is and what it does.
std::u16string DescribeSequenceProblem(const SequenceProblem& problem);

}  // namespace kwo::keys
