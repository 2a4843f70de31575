#include "entries/ExchangeWriter.h"

#include <algorithm>

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
  // Line by line: CR LF, a lone CR and a lone LF are each one line break.
  size_t i = 0;
  for (;;) {
    const size_t end = std::min(content.find_first_of(u"\r\n", i), content.size());
    if (i < end && content[i] == u'#') text_ += u'\\';
    text_.append(content, i, end - i);
    text_ += kLineBreak;
    if (end == content.size()) break;
    i = end + (content[end] == u'\r' && end + 1 < content.size() && content[end + 1] == u'\n' ? 2 : 1);
  }
  ++count_;
}

std::string ExchangeWriter::Bytes(bool* utf8) const { return text::EncodeCp936OrUtf8(text_, utf8); }

}  // namespace kwo::entries
