#pragma once
// Bounds the work of one fuzz input: a KeyPlatform in front of another that
// passes the first `budget` SendEvents calls on and refuses the later ones,
// as a system refusing input would. Calls that only release keys still go
// through, so a target can check that a stopped sequence lets go of every
// key it held. Repeat counts up to 65535 stay in the input (their range is
// checked) without the interpreter typing each repeat.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "keys/KeyPlatform.h"

namespace kwo::fuzz {

// SendEvents calls a target lets one input make.
constexpr size_t kSendBudget = 512;

class BudgetKeyPlatform final : public keys::KeyPlatform {
 public:
  BudgetKeyPlatform(keys::KeyPlatform& inner, size_t budget) : inner_(inner), budget_(budget) {}

  bool SendEvents(const keys::KeyEvent* events, size_t count) override {
    if (sends_ >= budget_ && !OnlyReleases(events, count)) {
      refused_ = true;
      return false;
    }
    ++sends_;
    return inner_.SendEvents(events, count);
  }
  uint16_t ScanCode(uint16_t vk) override { return inner_.ScanCode(vk); }
  void Sleep(uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
  void Beep(uint32_t frequency, uint32_t milliseconds) override { inner_.Beep(frequency, milliseconds); }
  bool ActivateWindow(std::u16string_view title) override { return inner_.ActivateWindow(title); }
  void BeginSending() override { inner_.BeginSending(); }
  void EndSending() override { inner_.EndSending(); }
  bool Sending() const override { return inner_.Sending(); }
  void GiveBackUnusedHotKey() override { inner_.GiveBackUnusedHotKey(); }

  // True once a call was refused for the budget.
  bool Refused() const { return refused_; }

 private:
  static bool OnlyReleases(const keys::KeyEvent* events, size_t count) {
    for (size_t i = 0; i < count; ++i)
      if ((events[i].flags & keys::kKeyUp) == 0 || (events[i].flags & keys::kUnicode) != 0) return false;
    return count > 0;
  }

  keys::KeyPlatform& inner_;
  size_t budget_;
  size_t sends_ = 0;
  bool refused_ = false;
};

}  // namespace kwo::fuzz
