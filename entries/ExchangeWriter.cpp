#include "entries/ExchangeWriter.h"

#include "text/CodePage.h"

namespace kwo::entries {

namespace {
constexpr std::u16string_view kLineBreak = u"\r\n";
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

std::string ExchangeWriter::Bytes(bool* utf8) const { return text::EncodeCp936OrUtf8(text_, utf8); }

}  // namespace kwo::entries
