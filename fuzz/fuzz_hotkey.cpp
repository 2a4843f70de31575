// Arbitrary UTF-8 text as the HotKey value of kwo.ini: a combination that
// parses is written in a form that parses to the same combination and is
// written the same way again; one that does not, or that is refused as a
// hotkey, falls back to Win + Space and is flagged. The first two bytes are also taken as a combination the
// options box may hand over: it is written only when it reads back.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzText.h"
#include "keys/HotKey.h"

using kwo::keys::FormatHotKey;
using kwo::keys::HotKey;
using kwo::keys::ParseHotKey;

using kwo::fuzz::Check;

namespace {

void CheckWrittenReadsBack(const HotKey& hotKey) {
  const std::u16string written = FormatHotKey(hotKey);
  Check(kwo::keys::IsHotKeyKey(hotKey.key) == !written.empty());
  if (written.empty()) return;
  const std::optional<HotKey> again = ParseHotKey(written);
  Check(again.has_value() && *again == hotKey);
  Check(FormatHotKey(*again) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 2) CheckWrittenReadsBack(HotKey{data[0] & 0xFu, data[1]});

  const std::u16string text = kwo::fuzz::Utf8Text(data, size);
  const std::optional<HotKey> parsed = ParseHotKey(text);
  const kwo::keys::HotKeySetting setting = kwo::keys::ResolveHotKey(text);
  if (parsed) {
    Check(parsed->key != 0 && (parsed->modifiers & ~0xFu) == 0);
    Check(!FormatHotKey(*parsed).empty());
    CheckWrittenReadsBack(*parsed);
    // A combination that parses but would eat typing (or that Windows keeps)
    // is refused with a reason, and Win + Space is used.
    const std::u16string refusal = kwo::keys::HotKeyRefusal(*parsed);
    if (refusal.empty()) {
      Check(!setting.malformed && setting.hotKey == *parsed);
    } else {
      Check(setting.malformed && setting.hotKey == kwo::keys::kDefaultHotKey && setting.refusal == refusal);
    }
  } else {
    // Blank is the default unflagged; anything else is flagged.
    bool blank = true;
    for (char16_t unit : text) blank = blank && (unit == u' ' || unit == u'\t');
    Check(setting.hotKey == kwo::keys::kDefaultHotKey && setting.malformed == !blank);
  }
  return 0;
}
