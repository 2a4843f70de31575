#pragma once
// Helpers shared by the exchange-file tests.
#include <string>
#include <string_view>
#include <vector>

#include "entries/ExchangeReader.h"
#include "text/CodePage.h"

namespace kwo::entries::testing {

// The code page 936 bytes of a text that the code page holds.
inline std::string Gbk(std::u16string_view text) {
  std::string bytes;
  text::EncodeCp936(text, bytes);
  return bytes;
}

// Everything the reader yields: the entries, and the error message if it stopped at one.
struct ReadAll {
  std::vector<ExchangeEntry> entries;
  bool formatError = false;
  std::u16string message;
  std::u16string unconvertedKey;

  explicit ReadAll(std::string_view bytes) {
    ExchangeReader reader(bytes);
    ExchangeEntry entry;
    for (;;) {
      const auto r = reader.Next(entry);
      if (r == ExchangeReader::Result::End) break;
      if (r == ExchangeReader::Result::FormatError) {
        formatError = true;
        message = reader.ErrorMessage();
        break;
      }
      entries.push_back(entry);
    }
    unconvertedKey = reader.FirstUnconvertedKey();
  }
};

}  // namespace kwo::entries::testing
