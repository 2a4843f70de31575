#include "entries/ExchangeWriter.h"

#include "text/CodePage.h"
#include "text/Utf.h"

namespace kwo::entries {

namespace {
constexpr std::u16string_view kLineBreak = u"\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
}  // namespace

void ExchangeWriter::Add(std::u16string_view key, std::u16string_view content) {
  text_ += u'#';
  text_ += key;
  text_ += u':';
  text_ += kLineBreak;
  bool lineStart = true;
  for (size_t i = 0; i < content.size(); ++i) {
    const char16_t c = content[i];
    if (c == u'\r' || c == u'\n') {
      // CR LF, a lone CR and a lone LF are each one line break.
      if (c == u'\r' && i + 1 < content.size() && content[i + 1] == u'\n') ++i;
      text_ += kLineBreak;
      lineStart = true;
      continue;
    }
    if (lineStart && c == u'#') text_ += u'\\';
    text_ += c;
    lineStart = false;
  }
  text_ += kLineBreak;
  ++count_;
}

std::string ExchangeWriter::Bytes(bool* utf8) const {
  std::string bytes;
  // Code page 936 holds no character outside the basic plane.
  bool fits = true;
  for (char16_t c : text_) {
    if (c >= 0xD800 && c <= 0xDFFF) {
      fits = false;
      break;
    }
  }
  if (fits) fits = text::EncodeCp936(text_, bytes);
  if (!fits) bytes = std::string(kUtf8Bom) + text::Utf16ToUtf8(text_);
  if (utf8) *utf8 = !fits;
  return bytes;
}

}  // namespace kwo::entries
