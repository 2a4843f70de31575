#include "keys/PasteRuns.h"

#include "keys/SequenceScan.h"

namespace kwo::keys {
namespace {

bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Gathers pieces: typed stretches grow until a long enough run closes.
class Splitter {
 public:
  Splitter(std::u16string_view content, size_t pasteAbove) : content_(content), pasteAbove_(pasteAbove) {}

  std::vector<ContentPiece> Split() {
    size_t position = 0;
    while (position < content_.size()) {
      const SequenceElement element = ScanElement(content_, position);
      // A line end is pressed as Enter, as when typed, and ends the run:
      // pasted, it would do what the window does with a pasted line break (a
      // one-line box keeps only the first line, a chat box sends nothing).
      if (element.kind == ElementKind::Unit && element.unit >= 0x20) {
        Extend(position, element.end, std::u16string_view(&element.unit, 1), IsLowSurrogate(element.unit) ? 0 : 1);
      } else {
        CloseRun();
        if (element.kind == ElementKind::Group && element.groupLength > kLongestGroup) break;
      }
      position = element.end;
    }
    CloseRun();
    if (typedBegin_ < content_.size()) pieces_.push_back({false, typedBegin_, content_.size(), {}});
    return std::move(pieces_);
  }

 private:
  // Adds the element content[position, end) to the plain run.
  void Extend(size_t position, size_t end, std::u16string_view text, size_t characters) {
    if (run_.empty()) runBegin_ = position;
    run_ += text;
    runCharacters_ += characters;
    runEnd_ = end;
  }

  void CloseRun() {
    if (pasteAbove_ > 0 && runCharacters_ > pasteAbove_) {
      if (typedBegin_ < runBegin_) pieces_.push_back({false, typedBegin_, runBegin_, {}});
      pieces_.push_back({true, runBegin_, runEnd_, std::move(run_)});
      typedBegin_ = runEnd_;
    }
    run_.clear();
    runCharacters_ = 0;
  }

  std::u16string_view content_;
  size_t pasteAbove_;
  std::vector<ContentPiece> pieces_;
  size_t typedBegin_ = 0;
  std::u16string run_;
  size_t runCharacters_ = 0;
  size_t runBegin_ = 0;
  size_t runEnd_ = 0;
};

}  // namespace

std::vector<ContentPiece> SplitPasteRuns(std::u16string_view content, size_t pasteAbove) {
  return Splitter(content, pasteAbove).Split();
}

}  // namespace kwo::keys
