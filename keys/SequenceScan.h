#pragma once
// How the interpreter reads a key sequence: one element at a time, from left
// to right. The interpreter acts on each element; the paste splitter uses
// the same reading to find runs of plain text.
#include <cstddef>
#include <string_view>

namespace kwo::keys {

// Brace groups of this many code units or more stop the sequence.
constexpr size_t kLongestGroup = 299;

enum class ElementKind {
  Unit,     // one code unit typed as it stands (plain or after "\")
  Enter,    // a line end: CR LF, LF or a lone CR, pressed as Enter
  Control,  // another unit below 0x20, pressed as the virtual key of that code
  Group,    // a brace group
};

struct SequenceElement {
  ElementKind kind = ElementKind::Unit;
  size_t end = 0;     // where the next element begins
  char16_t unit = 0;  // Unit: the unit typed; Control: the key code
  // Group: the text between the braces begins one past the "{" and is this
  // long; an unterminated group runs to the end of the text.
  size_t groupLength = 0;
  bool terminated = false;
};

// The element that begins at `position` (< text.size()).
SequenceElement ScanElement(std::u16string_view text, size_t position);

}  // namespace kwo::keys
