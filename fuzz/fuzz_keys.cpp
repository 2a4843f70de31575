// Arbitrary UTF-16 key sequences through the interpreter into the recorder;
// checks that every record it produces is well formed, and that the checking
// mode finds a stopping problem exactly when the interpreter stopped early.
// The recorder takes a bounded number of calls and then refuses, so that
// inputs full of {X 65535} groups cost no more than others.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/BudgetKeyPlatform.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzText.h"
#include "keys/KeySend.h"
#include "keys/RecordingKeyPlatform.h"
#include "keys/SequenceCheck.h"

using kwo::keys::KeyEvent;
using kwo::keys::RecordingKeyPlatform;

using kwo::fuzz::Check;
using kwo::fuzz::kSendBudget;

namespace {

bool IsKeyRecord(const KeyEvent& e) { return e.vk >= 1 && e.vk <= 254 && e.scan == RecordingKeyPlatform::FakeScanCode(e.vk); }

void CheckSend(const KeyEvent* e, size_t count) {
  if (count == 1) {
    Check(IsKeyRecord(e[0]) && e[0].flags <= 3);
    return;
  }
  Check(count == 2);
  if (e[0].vk == 0) {
    Check(e[1].vk == 0 && e[0].scan == e[1].scan && e[0].flags == 4 && e[1].flags == 6);
  } else {
    Check(IsKeyRecord(e[0]) && e[0].flags <= 1 && e[1].vk == e[0].vk && e[1].scan == e[0].scan &&
          e[1].flags == (e[0].flags | 2));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = kwo::fuzz::Utf16Text(data, size);

  static RecordingKeyPlatform recorder(4 * kSendBudget);
  recorder.Clear();
  kwo::fuzz::BudgetKeyPlatform platform(recorder, kSendBudget);
  kwo::keys::KeySendState state;
  state.pendingDelayMs = size > 0 ? static_cast<int8_t>(data[0]) : 0;
  // Fields type at a moment from the input, 1850..2150 (past both ends of the lunar table).
  if (size >= 3) state.fields.now = kwo::keys::LocalDateTime{1850 + (data[1] | (data[2] << 8)) % 301, 1 + data[1] % 12, 1 + data[2] % 28, data[2] % 24, data[1] % 60, 0};
  const kwo::keys::SendResult result = kwo::keys::SendKeySequence(text.c_str(), state, platform);
  const bool complete = static_cast<bool>(result);

  Check(state.defaultDelayMs == 0);
  for (const auto& action : recorder.actions()) {
    switch (action.kind) {
      case RecordingKeyPlatform::Kind::Send:
        CheckSend(recorder.events().data() + action.first, action.count);
        break;
      case RecordingKeyPlatform::Kind::Sleep:
        Check(action.value > 0 && action.value <= INT32_MAX);
        break;
      case RecordingKeyPlatform::Kind::Beep:
        Check(action.duration <= INT32_MAX);
        break;
      case RecordingKeyPlatform::Kind::Activate:
        Check(action.title.size() <= 299 - 12);
        break;
      case RecordingKeyPlatform::Kind::BeginSending:
      case RecordingKeyPlatform::Kind::EndSending:
      case RecordingKeyPlatform::Kind::GiveBack:
        Check(false);  // the sender's, never the interpreter's
        break;
    }
  }
  size_t stops = 0;
  for (const auto& problem : kwo::keys::FindSequenceProblems(text)) {
    Check(problem.position < text.size() && text[problem.position] == u'{');
    stops += kwo::keys::StopsSequence(problem.kind) ? 1 : 0;
  }
  // A refusal stops the run wherever it happens; otherwise the check knows
  // beforehand whether the run ends.
  if (platform.Refused()) {
    Check(result.stop == kwo::keys::SendStop::InputRefused);
  } else {
    Check(complete == (stops == 0));
  }
  if (kwo::fuzz::IsPlainText(text)) {
    Check(complete == (text.size() <= kSendBudget));
    const size_t typed = complete ? text.size() : kSendBudget;
    Check(recorder.sendCalls() == typed);
    for (size_t i = 0; i < typed; ++i) Check(recorder.events()[2 * i].scan == text[i]);
  }
  return 0;
}
