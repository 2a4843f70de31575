// Arbitrary UTF-8 text as the content of an entry, through the content check
// and then through the interpreter for real (into a counting platform) and
// into the scratch box's text platform. The check must tell what the run
// does: the keys it leaves held are exactly the ones reported as never
// released, and a content it calls clean runs to its end, presses only
// virtual keys and beeps only at frequencies a speaker can play.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "keys/KeySend.h"
#include "keys/SequenceCheck.h"
#include "keys/TrialKeyPlatform.h"
#include "text/Utf.h"

using kwo::keys::KeyEvent;
using kwo::keys::SequenceProblemKind;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Keeps what a run leaves behind, not every record: counts repeat keys up
// to 65535 times per group.
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

bool IsPlainText(const std::u16string& text) {
  for (char16_t unit : text)
    if (unit == u'{' || unit == u'\\' || unit < 0x20) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Longer inputs add nothing to the grammar, only repeat counts to run.
  if (size > 512) return 0;
  std::u16string text = kwo::text::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
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

  CountingPlatform platform;
  kwo::keys::KeySendState state;
  const bool complete = static_cast<bool>(kwo::keys::SendKeySequence(text.c_str(), state, platform));
  Check(complete == (stops == 0));
  Check(platform.KeysLeftDown() == neverReleased);
  Check(!platform.badKey);
  if (numbers == 0) Check(!platform.badBeep);

  kwo::keys::TrialKeyPlatform trial;
  kwo::keys::KeySendState trialState;
  Check(static_cast<bool>(kwo::keys::SendKeySequence(text.c_str(), trialState, trial)) == complete);
  if (IsPlainText(text)) Check(problems.empty() && trial.Text() == text);
  return 0;
}
