#include "settings/Options.h"


#include "text/Chars.h"

namespace kwo::settings {

namespace {
constexpr char16_t kOptions[] = u"Options";
constexpr char16_t kBackGround[] = u"BackGround";

bool HasOption(const CIniFile& ini, std::u16string_view key) {
  const CIniSection* section = ini.FindSection(kOptions);
  return section != nullptr && section->FindKey(key) != nullptr;
}

uint8_t LowByte(int32_t value) { return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu); }

// Plain decimal digits (spaces around allowed) up to `most`.
std::optional<int32_t> ParseWholeNumber(std::u16string_view text, int32_t most) {
  const std::u16string_view digits = text::TrimSpace(text);
  if (digits.empty()) return std::nullopt;
  int32_t number = 0;
  for (char16_t unit : digits) {
    if (unit < u'0' || unit > u'9') return std::nullopt;
    number = number * 10 + (unit - u'0');
    if (number > most) return std::nullopt;
  }
  return number;
}
}  // namespace

std::optional<int32_t> ParseInterval(std::u16string_view text) { return ParseWholeNumber(text, kMaxInterval); }

std::optional<int32_t> ParsePasteAbove(std::u16string_view text) {
  if (text::TrimSpace(text).empty()) return 0;
  return ParseWholeNumber(text, kMaxPasteAbove);
}

Options ReadOptions(const CIniFile& ini) {
  Options o;
  o.red = LowByte(ini.GetInt(kBackGround, u"Red"));
  o.green = LowByte(ini.GetInt(kBackGround, u"Green"));
  o.blue = LowByte(ini.GetInt(kBackGround, u"Blue"));
  o.enablePre = ini.GetInt(kOptions, u"EnablePre");
  o.enableAfter = ini.GetInt(kOptions, u"EnableAfter");
  o.interval = ini.GetInt(kOptions, u"Interval");
  o.preStr = ini.GetString(kOptions, u"PreStr");
  o.afterStr = ini.GetString(kOptions, u"AfterStr");
  o.timerStr = ini.GetString(kOptions, u"TimerStr");
  o.hotKey = ini.GetString(kOptions, u"HotKey");
  // Read strictly: "1e3" read as far as it goes would be 1, and nearly every content pasted.
  const std::u16string pasteAbove = ini.GetString(kOptions, u"PasteAbove");
  const std::optional<int32_t> characters = ParsePasteAbove(pasteAbove);
  o.pasteAbove = characters.value_or(0);
  if (!characters) o.pasteAboveUnread = pasteAbove;
  return o;
}

void WriteOptions(CIniFile& ini, const Options& options) {
  ini.SetInt(kOptions, u"EnablePre", options.enablePre);
  ini.SetInt(kOptions, u"EnableAfter", options.enableAfter);
  ini.SetInt(kOptions, u"Interval", options.interval);
  ini.SetString(kOptions, u"PreStr", options.preStr);
  ini.SetString(kOptions, u"AfterStr", options.afterStr);
  ini.SetString(kOptions, u"TimerStr", options.timerStr);
  ini.SetInt(kBackGround, u"Red", options.red);
  ini.SetInt(kBackGround, u"Green", options.green);
  ini.SetInt(kBackGround, u"Blue", options.blue);
  // Written only once it differs from what a missing key means, so that
  // files stay as earlier versions wrote them.
  if (!options.hotKey.empty() || HasOption(ini, u"HotKey")) ini.SetString(kOptions, u"HotKey", options.hotKey);
  if (options.pasteAbove != 0 || HasOption(ini, u"PasteAbove")) ini.SetInt(kOptions, u"PasteAbove", options.pasteAbove);
}

std::u16string ReadConnectionString(const CIniFile& ini) { return ini.GetString(u"sys", u"connectionString"); }

}  // namespace kwo::settings
