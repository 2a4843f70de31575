// Arbitrary UTF-16 key sequences through the interpreter into the recorder;
// checks that every record it produces is well formed, and that the checking
// mode finds a stopping problem exactly when the interpreter stopped early.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "keys/KeySend.h"
#include "keys/RecordingKeyPlatform.h"
#include "keys/SequenceCheck.h"

using kwo::keys::KeyEvent;
using kwo::keys::RecordingKeyPlatform;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

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

// Text without braces, backslashes or control units is typed unit for unit.
bool IsPlainText(const std::u16string& text) {
  for (char16_t unit : text)
    if (unit == u'{' || unit == u'\\' || unit < 0x20) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }

  static RecordingKeyPlatform platform(1 << 16, 1 << 16);
  platform.Clear();
  kwo::keys::KeySendState state;
  state.pendingDelayMs = size > 0 ? static_cast<int8_t>(data[0]) : 0;
  const bool complete = static_cast<bool>(kwo::keys::SendKeySequence(text.c_str(), state, platform));

  Check(state.defaultDelayMs == 0);
  for (const auto& action : platform.actions()) {
    switch (action.kind) {
      case RecordingKeyPlatform::Kind::Send:
        CheckSend(platform.events().data() + action.first, action.count);
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
    }
  }
  size_t stops = 0;
  for (const auto& problem : kwo::keys::FindSequenceProblems(text)) {
    Check(problem.position < text.size() && text[problem.position] == u'{');
    stops += kwo::keys::StopsSequence(problem.kind) ? 1 : 0;
  }
  Check(complete == (stops == 0));
  if (IsPlainText(text)) {
    Check(complete && platform.sendCalls() == text.size());
    for (size_t i = 0; i < text.size(); ++i) Check(platform.events()[2 * i].scan == text[i]);
  }
  return 0;
}
