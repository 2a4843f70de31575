#include <gtest/gtest.h>

#include "entries/EditState.h"

using kwo::entries::EditState;
using kwo::entries::EscapeState;
using kwo::entries::StoredKey;

TEST(EditState, LookupSetsModeAndEscapeState) {
  EditState s;
  EXPECT_EQ(s.escape(), EscapeState::None);
  EXPECT_FALSE(s.isNew());
  s.Found(u"a\\{b");
  EXPECT_EQ(s.escape(), EscapeState::Escaped);
  EXPECT_FALSE(s.isNew());
  s.NotFound();
  EXPECT_EQ(s.escape(), EscapeState::None);
  EXPECT_TRUE(s.isNew());
  s.Found(u"{ENTER}");
  EXPECT_EQ(s.escape(), EscapeState::None);
}

// A lookup that failed is never "no such entry": the dialog is not in
// new-entry mode, and "确定" saves nothing until a lookup succeeds; an entry
// that a later lookup finds is shown before anything replaces it.
TEST(EditState, FailedLookupIsNeitherFoundNorNewAndSavesNothingUnseen) {
  using Step = EditState::SaveStep;
  EditState s;
  s.LookupFailed();
  EXPECT_FALSE(s.isNew());
  EXPECT_TRUE(s.lookupFailed());
  EXPECT_EQ(s.StepAfterLookup(true), Step::Refuse);  // looked up again at OK, failed again
  s.Found(u"反向 3");                                  // looked up again at OK: the team's entry
  EXPECT_EQ(s.StepAfterLookup(true), Step::ShowStored);
  EXPECT_EQ(s.StepAfterLookup(false), Step::Save);    // the next OK, having seen it
  s.LookupFailed();
  s.NotFound();  // looked up again at OK: there is none
  EXPECT_TRUE(s.isNew());
  EXPECT_EQ(s.StepAfterLookup(true), Step::Save);
  s.Found(u"x");
  EXPECT_EQ(s.StepAfterLookup(false), Step::Save);
}

TEST(EditState, LoadedEscapedContentRefusesEscapeAndConvertsBackAndForth) {
  EditState s;
  s.Found(u"x\\{y");
  EXPECT_TRUE(s.PressEscape(u"x\\{y").refused);
  const auto unescaped = s.PressUnescape(u"x\\{y");
  ASSERT_TRUE(unescaped.replace);
  EXPECT_EQ(unescaped.text, u"x{y");
  EXPECT_TRUE(s.WarnOnSave());
  EXPECT_TRUE(s.PressUnescape(u"x{y").refused);
  const auto escaped = s.PressEscape(u"x{y");
  ASSERT_TRUE(escaped.replace);
  EXPECT_EQ(escaped.text, u"x\\{y");
  EXPECT_EQ(s.escape(), EscapeState::Escaped);
  EXPECT_FALSE(s.WarnOnSave());
}

TEST(EditState, ConversionsWithoutRewritesChangeNothing) {
  EditState s;
  auto a = s.PressEscape(u"");
  EXPECT_FALSE(a.refused || a.replace);
  a = s.PressEscape(u"plain }");
  EXPECT_FALSE(a.refused || a.replace);
  EXPECT_EQ(s.escape(), EscapeState::None);
  a = s.PressUnescape(u"plain");
  EXPECT_FALSE(a.refused || a.replace);
  EXPECT_EQ(s.escape(), EscapeState::None);
  // From unescaped, an escape without rewrites keeps the warning.
  s.PressUnescape(u"\\\\");
  EXPECT_EQ(s.escape(), EscapeState::Unescaped);
  s.PressEscape(u"text");
  EXPECT_EQ(s.escape(), EscapeState::Unescaped);
}

// Whether closing the dialog would lose typing: the box against what the
// store gave for the key shown.
TEST(EditState, UnsavedIsTheBoxAgainstTheStoredContent) {
  EditState s;
  EXPECT_FALSE(s.Unsaved(u""));
  EXPECT_TRUE(s.Unsaved(u"typed before any key"));
  s.Found(u"stored");
  EXPECT_FALSE(s.Unsaved(u"stored"));
  EXPECT_TRUE(s.Unsaved(u"stored, then changed"));
  EXPECT_TRUE(s.Unsaved(u""));  // emptied by hand
  s.Cleared();                  // a new key empties the box before its lookup
  EXPECT_FALSE(s.Unsaved(u""));
  s.Found(u"stored");
  s.NotFound();
  EXPECT_FALSE(s.Unsaved(u""));
  EXPECT_TRUE(s.Unsaved(u"new content"));
  // A conversion the store has not seen is a change.
  s.Found(u"a\\{b");
  const auto unescaped = s.PressUnescape(u"a\\{b");
  ASSERT_TRUE(unescaped.replace);
  EXPECT_TRUE(s.Unsaved(unescaped.text));
}

TEST(StoredKey, IsTheLeadingRunOfDigitsAndCapitals) {
  EXPECT_EQ(StoredKey(u"AB12"), u"AB12");
  EXPECT_EQ(StoredKey(u"A-B"), u"A");
  EXPECT_EQ(StoredKey(u"-AB"), u"");
  EXPECT_EQ(StoredKey(u"ab"), u"");
  EXPECT_EQ(StoredKey(u"ABCDEFG"), u"ABCDEF");
  EXPECT_EQ(StoredKey(u""), u"");
}
