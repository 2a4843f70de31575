#pragma once
// Reads the entries of an exchange file from its bytes.
//
// The file is a sequence of entries: a header line "#KEY" or "#KEY:" followed
// by content lines up to the next header line or the end of the file. Lines end
// with LF or CR LF. A file that begins with the UTF-8 byte-order mark is UTF-8;
// any other file is code page 936. Every line is converted whole, so a
// double-byte character is never split and a long line is never mistaken for
// a header halfway through.
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
  // After FormatError: the named text followed by " 速记符处定义格式错误".
  const std::u16string& ErrorMessage() const { return errorMessage_; }

 private:
  struct Line {
    std::string_view text;  // without its line end
    bool hasEnd = false;
  };

  bool ReadLine(Line& line);
  std::u16string Decode(std::string_view bytes) const;
  Result Fail(std::u16string named);

  std::string_view rest_;
  bool utf8_ = false;
  bool started_ = false;
  bool atEnd_ = false;   // a read has run into the end of the bytes
  bool stopped_ = false;
  Line current_;
  std::u16string errorMessage_;
};

}  // namespace kwo::entries
