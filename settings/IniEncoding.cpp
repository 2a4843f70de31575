#include "settings/IniEncoding.h"

#include "text/CodePage.h"

namespace kwo::settings {

std::vector<std::u16string> DecodeIniLines(std::string_view bytes) {
  const bool utf8 = text::TakeUtf8Mark(bytes);
  std::vector<std::u16string> lines;
  while (!bytes.empty()) {
    // Split before decoding: a broken double-byte character then spoils one
    // line only, and neither CR nor LF can be a trail byte in code page 936.
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(text::DecodeCp936OrUtf8(line, utf8));
  }
  return lines;
}

std::string EncodeIniLines(const std::vector<std::u16string>& lines) {
  std::u16string whole;
  for (const auto& line : lines) {
    whole += line;
    whole += u"\r\n";
  }
  return text::EncodeCp936OrUtf8(whole);
}

}  // namespace kwo::settings
