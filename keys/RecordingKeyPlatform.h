#pragma once
// A KeyPlatform that carries nothing out and records everything it is asked
// to do, in order: each SendEvents call with its records, pauses, beeps and
// window activations, and where a sending begins and ends; it can be told to refuse SendEvents calls, and to be
// cancelled by the user during a pause. Used by
// the tests, the fuzzer and the benchmark.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "keys/KeyPlatform.h"

namespace kwo::keys {

class RecordingKeyPlatform final : public KeyPlatform {
 public:
  enum class Kind { Send, Sleep, Beep, Activate, BeginSending, EndSending, GiveBack };

  // One thing the interpreter did. For Send, the records are
  // events()[first, first + count); for Sleep, `value` is the pause; for
  // Beep, `value` and `duration`; for Activate, the title.
  struct Action {
    Kind kind = Kind::Send;
    size_t first = 0;
    size_t count = 0;
    uint32_t value = 0;
    uint32_t duration = 0;
    std::u16string title;
  };

  // Reserves room for this many records and actions so that recording does
  // not reallocate while it runs. `maxStoredEvents` caps what is stored (the
  // counters still count everything), for inputs that repeat keys 65535 times.
  explicit RecordingKeyPlatform(size_t reserve = 0, size_t maxStoredEvents = SIZE_MAX)
      : maxStoredEvents_(maxStoredEvents) {
    events_.reserve(reserve);
    actions_.reserve(reserve);
  }

  // Scan codes the recorder hands out: distinct from the key codes, so a test
  // can tell that a record's wScan came from ScanCode.
  static uint16_t FakeScanCode(uint16_t vk) { return static_cast<uint16_t>(vk + 0x100); }

  bool SendEvents(const KeyEvent* events, size_t count) override {
    ++sendCalls_;
    if (sendCalls_ >= refuseFirstCall && sendCalls_ <= refuseLastCall) return false;
    eventCount_ += count;
    if (truncated_ || events_.size() + count > maxStoredEvents_) {
      truncated_ = true;
      return true;
    }
    Action action;
    action.kind = Kind::Send;
    action.first = events_.size();
    action.count = count;
    events_.insert(events_.end(), events, events + count);
    actions_.push_back(std::move(action));
    return true;
  }
  uint16_t ScanCode(uint16_t vk) override {
    ++scanCodeCalls_;
    return FakeScanCode(vk);
  }
  void Sleep(uint32_t milliseconds) override {
    if (++sleepCalls_ == cancelAtSleep) cancelled_ = true;
    sleptMs_ += milliseconds;
    Action action;
    action.kind = Kind::Sleep;
    action.value = milliseconds;
    Store(std::move(action));
  }
  void Beep(uint32_t frequency, uint32_t milliseconds) override {
    Action action;
    action.kind = Kind::Beep;
    action.value = frequency;
    action.duration = milliseconds;
    Store(std::move(action));
  }
  bool ActivateWindow(std::u16string_view title) override {
    Action action;
    action.kind = Kind::Activate;
    action.title.assign(title.begin(), title.end());
    Store(std::move(action));
    return activateResult;
  }

  bool Cancelled() override { return cancelled_; }

  void BeginSending() override {
    sending_ = true;
    Mark(Kind::BeginSending);
  }
  void EndSending() override {
    sending_ = false;
    Mark(Kind::EndSending);
  }
  bool Sending() const override { return sending_; }
  void GiveBackUnusedHotKey() override { Mark(Kind::GiveBack); }

  void Clear() {
    events_.clear();
    actions_.clear();
    sendCalls_ = eventCount_ = scanCodeCalls_ = sleepCalls_ = 0;
    cancelled_ = false;
    sleptMs_ = 0;
    truncated_ = false;
  }

  const std::vector<KeyEvent>& events() const { return events_; }
  const std::vector<Action>& actions() const { return actions_; }
  size_t sendCalls() const { return sendCalls_; }
  size_t eventCount() const { return eventCount_; }
  size_t scanCodeCalls() const { return scanCodeCalls_; }
  uint64_t sleptMs() const { return sleptMs_; }
  // True once the cap was reached: later actions were counted, not stored.
  bool truncated() const { return truncated_; }

  // What ActivateWindow answers.
  bool activateResult = true;
  // SendEvents calls (counted from 1 since the last Clear) that the system
  // refuses: they return false and record nothing.
  size_t refuseFirstCall = SIZE_MAX;
  size_t refuseLastCall = SIZE_MAX;
  // The Sleep call (counted from 1 since the last Clear) during which the
  // user cancels the sending: from then on Cancelled() is true.
  size_t cancelAtSleep = SIZE_MAX;

 private:
  void Mark(Kind kind) {
    Action action;
    action.kind = kind;
    Store(std::move(action));
  }
  void Store(Action&& action) {
    if (!truncated_) actions_.push_back(std::move(action));
  }

  size_t maxStoredEvents_;
  std::vector<KeyEvent> events_;
  std::vector<Action> actions_;
  size_t sendCalls_ = 0;
  size_t eventCount_ = 0;
  size_t scanCodeCalls_ = 0;
  size_t sleepCalls_ = 0;
  bool cancelled_ = false;
  uint64_t sleptMs_ = 0;
  bool truncated_ = false;
  bool sending_ = false;
};

}  // namespace kwo::keys
