#include "keys/SequenceScan.h"

namespace kwo::keys {

SequenceElement ScanElement(std::u16string_view text, size_t position) {
  SequenceElement element;
  const char16_t unit = text[position];
  element.end = position + 1;
  element.unit = unit;
  if (unit == u'\\') {
    // A "\" at the very end stands for itself.
    if (position + 1 < text.size()) {
      element.unit = text[position + 1];
      element.end = position + 2;
    }
  } else if (unit == u'{') {
    size_t close = position + 1;
    while (close < text.size() && text[close] != u'}') ++close;
    element.kind = ElementKind::Group;
    element.groupLength = close - (position + 1);
    element.terminated = close < text.size();
    element.end = element.terminated ? close + 1 : close;
  } else if (unit == u'\n') {
    element.kind = ElementKind::Enter;
  } else if (unit == u'\r') {
    element.kind = ElementKind::Enter;
    if (position + 1 < text.size() && text[position + 1] == u'\n') element.end = position + 2;
  } else if (unit < 0x20) {
    element.kind = ElementKind::Control;
  }
  return element;
}

}  // namespace kwo::keys
