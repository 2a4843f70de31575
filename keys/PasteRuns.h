#pragma once
// Splits an entry's content into what is pasted and what is typed: runs of
// plain text longer than a limit go through the clipboard, everything else
// (key groups, pauses, control keys, shorter text) is typed as before.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kwo::keys {

struct ContentPiece {
  bool paste = false;
  // The piece's source: content[begin, end).
  size_t begin = 0;
  size_t end = 0;
  // paste: the text the typed run would produce, escapes resolved.
  std::u16string text;
};

// The pieces in order; together they cover the whole content. A run of
// plain text longer than `pasteAbove` characters becomes a paste piece; 0
// pastes nothing. Line ends, like control keys and groups, end a run and are
// typed (pressed as Enter), so that a pasted content does in the window what
// the typed one does. A brace group too long for the
// interpreter stops the splitting: the rest is typed, so that sending stops
// there as it always did.
std::vector<ContentPiece> SplitPasteRuns(std::u16string_view content, size_t pasteAbove);

}  // namespace kwo::keys
