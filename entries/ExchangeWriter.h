#pragma once
// Writes entries in the exchange format: "#KEY:" and CR LF, then the content
// with every line break as CR LF and a backslash before a "#" that begins a
// line, then one CR LF.
//
// The file is code page 936 when every character fits that code page, and
// UTF-8 with a byte-order mark otherwise, so that no character is lost.
#include <string>
#include <string_view>

namespace kwo::entries {

class ExchangeWriter {
 public:
  void Add(std::u16string_view key, std::u16string_view content);
  size_t Count() const { return count_; }
  // The file's bytes; `utf8` tells which encoding they are in.
  std::string Bytes(bool* utf8 = nullptr) const;

 private:
  std::u16string text_;
  size_t count_ = 0;
};

}  // namespace kwo::entries
