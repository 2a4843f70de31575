#include "settings/IniEncoding.h"

#include "text/CodePage.h"
#include "text/Utf.h"

namespace kwo::settings {

namespace {
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
}

std::vector<std::u16string> DecodeIniLines(std::string_view bytes) {
  const bool utf8 = bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark;
  if (utf8) bytes.remove_prefix(kUtf8Mark.size());
  std::vector<std::u16string> lines;
  while (!bytes.empty()) {
    // Split before decoding: a broken double-byte character then spoils one
    // line only, and neither CR nor LF can be a trail byte in code page 936.
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::u16string decoded;
    if (utf8) {
      decoded = text::Utf8ToUtf16(line);
    } else {
      text::DecodeCp936(line, decoded);
    }
    lines.push_back(std::move(decoded));
  }
  return lines;
}

std::string EncodeIniLines(const std::vector<std::u16string>& lines) {
  std::u16string whole;
  for (const auto& line : lines) {
    whole += line;
    whole += u"\r\n";
  }
  std::string bytes;
  if (text::FitsCp936(whole) && text::EncodeCp936(whole, bytes)) return bytes;
  bytes.assign(kUtf8Mark);
  bytes += text::Utf16ToUtf8(whole);
  return bytes;
}

}  // namespace kwo::settings
