#pragma once
// A ClipboardPlatform that records its calls, each with the number of
// actions the key platform had carried out before it, so that a test can
// tell the clipboard steps and the key presses apart in one order. It can be
// told that the clipboard is held by another program.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "keys/ClipboardPlatform.h"
#include "keys/RecordingKeyPlatform.h"

namespace kwo::keys {

class RecordingClipboardPlatform final : public ClipboardPlatform {
 public:
  enum class Kind { Put, Wait, Restore };
  struct Call {
    Kind kind = Kind::Put;
    std::u16string text;  // Put: the text
    size_t keyActionsBefore = 0;
  };

  explicit RecordingClipboardPlatform(const RecordingKeyPlatform& keys) : keys_(keys) {}

  bool PutText(std::u16string_view text) override {
    if (held) return false;
    Record(Kind::Put, text);
    return true;
  }
  bool ReadText(std::u16string& text) override {
    ++reads;
    if (!userText) return false;
    text = *userText;
    return true;
  }
  void WaitUntilTaken() override { Record(Kind::Wait, {}); }
  void Restore() override { Record(Kind::Restore, {}); }

  void Clear() { calls_.clear(); }
  const std::vector<Call>& calls() const { return calls_; }

  // The user's text ReadText gives (none: the clipboard holds no text), and how often it was read.
  std::optional<std::u16string> userText;
  int reads = 0;
  // True: PutText fails as when another program holds the clipboard open.
  bool held = false;

 private:
  void Record(Kind kind, std::u16string_view text) {
    calls_.push_back({kind, std::u16string(text), keys_.actions().size()});
  }

  const RecordingKeyPlatform& keys_;
  std::vector<Call> calls_;
};

}  // namespace kwo::keys
