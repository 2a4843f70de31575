#include "entries/ExchangeReader.h"

#include "entries/Escape.h"
#include "text/CodePage.h"
#include "text/Utf.h"

namespace kwo::entries {

namespace {
constexpr size_t kMaxKeyLength = 6;
// A format error shows this much of its line, so that the box fits the screen.
constexpr size_t kMaxNamedLength = 60;

bool IsAsciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

ExchangeReader::ExchangeReader(std::string_view bytes) : rest_(bytes), utf8_(text::TakeUtf8Mark(rest_)) {
  if (!utf8_) utf8_ = text::LooksLikeUtf8(rest_);
}

bool ExchangeReader::ReadLine(Line& line) {
  if (rest_.empty()) {
    atEnd_ = true;
    return false;
  }
  line.number = ++lines_;
  // Neither byte occurs inside a double-byte character of code page 936 or UTF-8.
  const size_t end = rest_.find_first_of("\r\n");
  if (end == std::string_view::npos) {
    line.text = rest_;
    line.hasEnd = false;
    rest_ = {};
    atEnd_ = true;
    return true;
  }
  line.text = rest_.substr(0, end);
  line.hasEnd = true;
  const bool crLf = rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n';
  rest_.remove_prefix(end + (crLf ? 2 : 1));
  return true;
}

std::u16string ExchangeReader::Decode(std::string_view bytes, bool* lossless) const {
  return text::DecodeCp936OrUtf8(bytes, utf8_, lossless);
}

ExchangeReader::Result ExchangeReader::Fail(size_t lineNumber, std::u16string named) {
  stopped_ = true;
  errorMessage_ = u"第 " + text::Ascii(std::to_string(lineNumber)) + u" 行：" + named + kFormatErrorSuffix;
  return Result::FormatError;
}

ExchangeReader::Result ExchangeReader::Next(ExchangeEntry& entry) {
  if (stopped_) return Result::End;
  if (!started_) {
    started_ = true;
    ReadLine(current_);
  }
  // A header line that was the last bytes of the file (no line end) starts no entry.
  if (atEnd_) {
    stopped_ = true;
    return Result::End;
  }
  const Line header = current_;
  // The header as read, line end included; a long one is cut, so that the message fits the screen.
  const auto headerText = [&] {
    // No character takes more than four bytes: this prefix holds more than enough of them.
    std::u16string named = Decode(header.text.substr(0, 4 * (kMaxNamedLength + 1)));
    if (named.size() > kMaxNamedLength) {
      size_t cut = kMaxNamedLength;
      if (named[cut - 1] >= 0xD800 && named[cut - 1] <= 0xDBFF) --cut;  // a surrogate pair stays whole
      named.resize(cut);
      named += u"…";
    }
    return named + (header.hasEnd ? u"\n" : u"");
  };
  if (header.text.empty() || header.text[0] != '#') return Fail(header.number, headerText());

  // The key: at most six letters or digits, upper-cased, ended by a colon
  // (key-sequence entry) or the line end. After six characters the next one
  // alone decides: a colon, or anything else for a plain-text entry.
  std::string key;
  bool keySequence = false;
  size_t i = 1;
  while (key.size() < kMaxKeyLength && i < header.text.size()) {
    const char c = header.text[i];
    if (c == ':') {
      keySequence = true;
      break;
    }
    if (!IsAsciiAlnum(c)) return Fail(header.number, headerText());
    key.push_back(AsciiUpper(c));
    ++i;
  }
  if (key.size() == kMaxKeyLength)
    keySequence = i < header.text.size() && header.text[i] == ':';
  entry.key = text::Ascii(key);
  cutKey_.clear();
  if (key.size() == kMaxKeyLength && i < header.text.size() && IsAsciiAlnum(header.text[i])) {
    std::string written = key;
    for (size_t j = i; j < header.text.size() && IsAsciiAlnum(header.text[j]); ++j)
      written.push_back(AsciiUpper(header.text[j]));
    cutKey_ = text::Ascii(written);
  }
  // An empty key (id 0) is named as the empty text.
  if (entry.key.empty()) return Fail(header.number, std::u16string());

  // The content: every line up to the next header line. Only a line with a
  // line end can be a header; the last line of a file without one is content.
  entry.content.clear();
  bool lossless = true;
  Line line;
  while (ReadLine(line)) {
    bool converted = true;
    if (!line.hasEnd) {
      entry.content += Decode(line.text, &converted);
      lossless = lossless && converted;
      break;
    }
    if (!line.text.empty() && line.text[0] == '#') {
      current_ = line;
      break;
    }
    std::string_view text = line.text;
    if (text.size() >= 2 && text[0] == '\\' && text[1] == '#') text.remove_prefix(1);
    entry.content += Decode(text, &converted);
    entry.content += u"\r\n";
    lossless = lossless && converted;
  }
  if (!lossless && unconvertedKey_.empty()) unconvertedKey_ = entry.key;
  // Drop the line break that closes the entry.
  const size_t n = entry.content.size();
  if (n >= 2 && entry.content[n - 2] == u'\r' && entry.content[n - 1] == u'\n') entry.content.resize(n - 2);
  if (!keySequence && !entry.content.empty()) entry.content = Escape(entry.content).text;
  return Result::Entry;
}

}  // namespace kwo::entries
