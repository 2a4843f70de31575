// Arbitrary UTF-8 text as the content of an entry, through the content check
// and then through the interpreter for real (into a counting platform) and
// into the scratch box's text platform. The check must tell what the run
// does: the keys it leaves held are exactly the ones reported as never
// released, and a content it calls clean runs to its end, presses only
// virtual keys and beeps only at frequencies a speaker can play. Both runs
// take a bounded number of calls and are then refused, so that inputs full of
// {X 65535} groups cost no more than others; a refused run lets go of every
// key it held. Fields type at a moment taken from the input (years around
// the lunar table's ends included); the caret goes back by Left alone.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/BudgetKeyPlatform.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzText.h"
#include "keys/KeySend.h"
#include "keys/SequenceCheck.h"
#include "keys/TrialKeyPlatform.h"

using kwo::keys::KeyEvent;
using kwo::keys::SequenceProblemKind;

using kwo::fuzz::Check;
using kwo::fuzz::kSendBudget;

namespace {

// Keeps what a run leaves behind, not every record.
class CountingPlatform final : public kwo::keys::KeyPlatform {
 public:
  bool SendEvents(const KeyEvent* events, size_t count) override {
    for (size_t i = 0; i < count; ++i) {
      const KeyEvent& e = events[i];
      if (e.flags & kwo::keys::kUnicode) continue;
      if (e.vk < 1 || e.vk > 254) badKey = true;
      else down[e.vk] = (e.flags & kwo::keys::kKeyUp) == 0;
    }
    return true;
  }
  uint16_t ScanCode(uint16_t vk) override { return vk; }
  void Sleep(uint32_t) override {}
  void Beep(uint32_t frequency, uint32_t) override {
    if (frequency < 37 || frequency > 32767) badBeep = true;
  }
  bool ActivateWindow(std::u16string_view) override { return true; }

  size_t KeysLeftDown() const {
    size_t n = 0;
    for (bool key : down) n += key ? 1 : 0;
    return n;
  }

  bool down[256] = {};
  bool badKey = false;
  bool badBeep = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Groups end at 300 units: longer inputs add nothing to the grammar.
  if (size > 4096) return 0;
  std::u16string text = kwo::fuzz::Utf8Text(data, size);
  text = text.substr(0, text.find(u'\0'));

  const auto problems = kwo::keys::FindSequenceProblems(text);
  size_t stops = 0, neverReleased = 0, numbers = 0;
  for (size_t i = 0; i < problems.size(); ++i) {
    const auto& problem = problems[i];
    Check(problem.kind != SequenceProblemKind::None);
    Check(i == 0 || problems[i - 1].position <= problem.position);
    Check(problem.position < text.size() && text[problem.position] == u'{');
    Check(!problem.group.empty() && problem.group[0] == u'{');
    Check(kwo::keys::DescribeSequenceProblem(problem).find(problem.group) != std::u16string::npos);
    stops += kwo::keys::StopsSequence(problem.kind) ? 1 : 0;
    neverReleased += problem.kind == SequenceProblemKind::KeyNeverReleased ? 1 : 0;
    numbers += problem.kind == SequenceProblemKind::NumberOutOfRange ? 1 : 0;
  }
  Check(kwo::keys::CheckKeySequence(text).kind ==
        (problems.empty() ? SequenceProblemKind::None : problems.front().kind));

  // The moment of the sending from the first bytes: 1850..2150, any month, day and time.
  kwo::keys::LocalDateTime now;
  if (size >= 4) now = {1850 + (data[0] | (data[1] << 8)) % 301, 1 + data[2] % 12, 1, data[3] % 24, data[3] % 60, 0};
  now.day = 1 + (size >= 5 ? data[4] : 0) % kwo::keys::DaysInMonth(now.year, now.month);

  CountingPlatform counting;
  kwo::fuzz::BudgetKeyPlatform platform(counting, kSendBudget);
  kwo::keys::KeySendState state;
  state.fields.now = now;
  const kwo::keys::SendResult result = kwo::keys::SendKeySequence(text.c_str(), state, platform);
  const bool complete = static_cast<bool>(result);
  if (platform.Refused()) {
    Check(result.stop == kwo::keys::SendStop::InputRefused && counting.KeysLeftDown() == 0);
  } else {
    Check(complete == (stops == 0));
    Check(counting.KeysLeftDown() == neverReleased);
  }
  if (!platform.Refused()) {
    // Only Left presses, released each, go out for the caret.
    const size_t leftBefore = counting.KeysLeftDown();
    Check(kwo::keys::PlaceCaret(state, platform) || platform.Refused());
    Check(counting.KeysLeftDown() == leftBefore && !state.fields.caretMarked);
  }
  Check(!counting.badKey);
  if (numbers == 0) Check(!counting.badBeep);

  kwo::keys::TrialKeyPlatform trial;
  kwo::fuzz::BudgetKeyPlatform trialBudget(trial, kSendBudget);
  kwo::keys::KeySendState trialState;
  trialState.fields.now = now;
  Check(static_cast<bool>(kwo::keys::SendKeySequence(text.c_str(), trialState, trialBudget)) == complete);
  if (kwo::fuzz::IsPlainText(text) && !platform.Refused()) Check(problems.empty() && trial.Text() == text);
  return 0;
}
