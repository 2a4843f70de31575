#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/PasteRuns.h"
#include "text/Utf.h"

namespace kwo::keys {
namespace {

// The pieces as one line: typed pieces as T[source], pasted ones as P[text].
std::string Pieces(const std::u16string& content, size_t pasteAbove) {
  std::string out;
  size_t expectedBegin = 0;
  for (const ContentPiece& piece : SplitPasteRuns(content, pasteAbove)) {
    EXPECT_EQ(piece.begin, expectedBegin) << "pieces leave a gap or overlap";
    expectedBegin = piece.end;
    if (!out.empty()) out += ' ';
    const std::u16string shown = piece.paste ? piece.text : content.substr(piece.begin, piece.end - piece.begin);
    out += (piece.paste ? "P[" : "T[") + text::Utf16ToUtf8(shown) + "]";
  }
  EXPECT_EQ(expectedBegin, content.size()) << "pieces do not reach the end";
  return out;
}

TEST(PasteRuns, SplitsPlainRunsLongerThanTheLimitFromGroups) {
  struct Case {
    std::u16string content;
    size_t pasteAbove;
    std::string pieces;
  };
  const std::u16string longGroup = u"{" + std::u16string(300, u'x') + u"}";
  const std::vector<Case> cases = {
      {u"abcd", 0, "T[abcd]"},  // 0: never
      {u"abcd", 4, "T[abcd]"},  // not longer than the limit
      {u"abcde", 4, "P[abcde]"},
      {u"{HOME}您好世界吧{ENTER 2}ab{TAB}", 4, "T[{HOME}] P[您好世界吧] T[{ENTER 2}ab{TAB}]"},
      // Escapes are resolved.
      {u"\\{a\\\\b\\}", 4, "P[{a\\b}]"},
      // Line ends of every kind are typed and cut the run: each line is judged on its own.
      {u"a\nb\r\nc\rd", 6, "T[a\nb\r\nc\rd]"},
      {u"abcde\nb\r\nfghijk\rd\r\n\r\nlmnop", 4, "P[abcde] T[\nb\r\n] P[fghijk] T[\rd\r\n\r\n] P[lmnop]"},
      // Escaped control units and control keys are typed, and cut the run.
      {u"abc\\\tdef\tghi", 2, "P[abc] T[\\\t] P[def] T[\t] P[ghi]"},
      // A surrogate pair is one character.
      {u"a\U0001F600bc", 3, "P[a\U0001F600bc]"},
      // Runs between groups: each is judged on its own length.
      {u"abcde{DELAY 10}ab{CTRL+}{c}{CTRL-}vwxyz", 4, "P[abcde] T[{DELAY 10}ab{CTRL+}{c}{CTRL-}] P[vwxyz]"},
      // An unterminated group takes the rest of the text.
      {u"abcde{ENTER abcdef", 4, "P[abcde] T[{ENTER abcdef]"},
      // Sending stops at a too long group: nothing after it is pasted.
      {u"abcde" + longGroup + u"vwxyz", 4, "P[abcde] T[" + std::string(longGroup.begin(), longGroup.end()) + "vwxyz]"},
      {u"", 4, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Pieces(c.content, c.pasteAbove), c.pieces) << text::Utf16ToUtf8(c.content);
}

}  // namespace
}  // namespace kwo::keys
