#pragma once
// Reads the entries of an exchange file from its bytes.
//
// The file is a sequence of entries: a header line "#KEY" or "#KEY:" followed
// by content lines up to the next header line or the end of the file. Lines end
// with CR LF, LF or a lone CR (old Mac files). A file that begins with the
// UTF-8 byte-order mark is UTF-8, and so is one that is valid UTF-8 throughout
// and holds non-ASCII text; any other file is code page 936. Every line is
// converted whole, so a double-byte character is never split and a long line
// is never mistaken for a header halfway through.
#include <string>
#include <string_view>

#include "entries/ExchangeEntry.h"

namespace kwo::entries {

class ExchangeReader {
 public:
  enum class Result { Entry, End, FormatError };

  // The bytes must outlive the reader.
  explicit ExchangeReader(std::string_view bytes);

  // The next entry, with the content of a header without colon (plain text)
  // already escaped. After End or FormatError every further call returns End.
  Result Next(ExchangeEntry& entry);
  // After FormatError: "第 N 行：", the named text (its first 60 characters
  // at most) and " 速记符处定义格式错误".
  const std::u16string& ErrorMessage() const { return errorMessage_; }
  // The key of the first entry read whose content held bytes that could not
  // be converted (they became U+FFFD); empty when there was none.
  const std::u16string& FirstUnconvertedKey() const { return unconvertedKey_; }
  // The key of the last entry as the file wrote it when it was longer than
  // six characters and cut to six; empty otherwise.
  const std::u16string& CutKey() const { return cutKey_; }

 private:
  struct Line {
    std::string_view text;  // without its line end
    bool hasEnd = false;
    size_t number = 0;      // counted from 1
  };

  bool ReadLine(Line& line);
  std::u16string Decode(std::string_view bytes, bool* lossless = nullptr) const;
  Result Fail(size_t lineNumber, std::u16string named);

  std::string_view rest_;
  bool utf8_ = false;
  bool started_ = false;
  bool atEnd_ = false;   // a read has run into the end of the bytes
  bool stopped_ = false;
  size_t lines_ = 0;
  Line current_;
  std::u16string errorMessage_;
  std::u16string unconvertedKey_;
  std::u16string cutKey_;
};

}  // namespace kwo::entries
