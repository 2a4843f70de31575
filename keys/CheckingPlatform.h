#pragma once
// The platform of the checking mode, shared by the interpreter (KeySend.cpp),
// which runs over the text with it, and the check (SequenceCheck.cpp), which
// reads what it noted. It carries nothing out, and notes the problems the
// interpreter reports and the keys its events leave pressed, each at the
// group being run.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "keys/KeyPlatform.h"
#include "keys/KeySend.h"
#include "keys/SequenceCheck.h"

namespace kwo::keys {

class CheckingPlatform final : public KeyPlatform {
 public:
  // The group the interpreter runs now: problems and pressed keys are noted there.
  void BeginGroup(size_t position, std::u16string_view written);
  void Note(SequenceProblemKind kind, std::u16string wanted = std::u16string());
  // Pauses the interpreter would take, for the problem of their sum.
  void AddPause(long long milliseconds);
  // Every problem, ordered by position. `pendingMs`: the pause left for the
  // next key event, after the text.
  std::vector<SequenceProblem> Finish(int32_t pendingMs);

  bool SendEvents(const KeyEvent* events, size_t count) override;
  uint16_t ScanCode(uint16_t) override { return 0; }
  void Sleep(uint32_t milliseconds) override { AddPause(milliseconds); }
  void Beep(uint32_t, uint32_t) override {}
  bool ActivateWindow(std::u16string_view) override { return true; }

 private:
  size_t position_ = 0;
  std::u16string group_;
  long long pausesMs_ = 0;
  size_t overAt_ = std::u16string::npos;  // the group where the pauses passed a minute
  std::u16string overGroup_;
  std::vector<SequenceProblem> problems_;
  std::map<uint16_t, std::pair<size_t, std::u16string>> held_;  // key code -> where it was pressed
};

// The interpreter in checking mode over the text: nothing is typed, nothing waits.
void RunChecking(std::u16string_view text, KeySendState& state, CheckingPlatform& checker);

}  // namespace kwo::keys
