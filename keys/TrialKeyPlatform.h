#pragma once
// A platform that carries a key sequence out as text, for a scratch box that
// shows what an entry would type: characters as they are, Enter as a line
// break, Tab, Space and Backspace as such, letters and digits pressed as keys
// as the characters they give. Everything a box cannot show becomes a
// readable mark: 〔HOME〕, 〔CTRL+C〕, 〔响铃〕, 〔切换到 记事本〕. Pauses take no time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "keys/KeyPlatform.h"

namespace kwo::keys {

class TrialKeyPlatform final : public KeyPlatform {
 public:
  bool SendEvents(const KeyEvent* events, size_t count) override;
  uint16_t ScanCode(uint16_t) override { return 0; }
  void Sleep(uint32_t) override {}
  void Beep(uint32_t, uint32_t) override { text_ += u"〔响铃〕"; }
  bool ActivateWindow(std::u16string_view title) override;

  const std::u16string& Text() const { return text_; }

 private:
  void KeyPressed(uint16_t vk);

  std::u16string text_;
  bool shift_ = false, control_ = false, alt_ = false, windows_ = false;
};

}  // namespace kwo::keys
