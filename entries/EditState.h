#pragma once
// The entry edit dialog's rules, apart from its window: whether the last
// lookup found an entry, and which of Escape and Unescape was applied last,
// so that the dialog can refuse a second press and warn before saving an
// unescaped content; and what content the store gave, so that the dialog
// knows whether closing it would lose typing.
#include <string>
#include <string_view>

#include "entries/Escape.h"

namespace kwo::entries {

enum class EscapeState { None, Escaped, Unescaped };

class EditState {
 public:
  // What a press of "转义" or "反转义" does to the content box.
  struct Action {
    bool refused = false;  // beep, nothing else
    bool replace = false;  // put `text` into the content box
    std::u16string text;
  };

  // The lookup found the entry with this content: a content holding a
  // backslash counts as escaped.
  void Found(std::u16string_view content);
  void NotFound();
  // The content box was emptied for a new key, before its lookup.
  void Cleared() { loaded_.clear(); }
  // The lookup failed (the database could not be read): the key is neither
  // known nor new, and nothing is saved under it until a lookup succeeds.
  void LookupFailed();
  bool lookupFailed() const { return key_ == KeyState::Failed; }

  // What "确定" does once the key has been looked up again (when the last
  // lookup had failed, `retried`).
  enum class SaveStep {
    Save,
    Refuse,      // the lookup failed again: not known whether an entry would be replaced
    ShowStored,  // an entry the dialog never showed: shown first, saved only at the next "确定"
  };
  SaveStep StepAfterLookup(bool retried) const;

  Action PressEscape(std::u16string_view content);
  Action PressUnescape(std::u16string_view content);

  EscapeState escape() const { return escape_; }
  bool isNew() const { return key_ == KeyState::New; }
  // Saving right after "反转义" gets the warning "您可能忘了转义了".
  bool WarnOnSave() const { return escape_ == EscapeState::Unescaped; }
  // The content box holds something other than what the store gave (nothing,
  // for a key not stored yet): closing the dialog would lose it.
  bool Unsaved(std::u16string_view content) const { return content != loaded_; }

 private:
  Action Convert(std::u16string_view content, EscapeState target, Conversion (*convert)(std::u16string_view));

  enum class KeyState { Unknown, Found, New, Failed };

  EscapeState escape_ = EscapeState::None;
  KeyState key_ = KeyState::Unknown;
  std::u16string loaded_;
};

// The line under the content after a failed lookup.
std::u16string LookupFailedText();

// The part of a typed or pasted key that makes its short-key id: the leading
// run of digits and capitals (at most six). A new entry is stored under it.
std::u16string StoredKey(std::u16string_view typed);
// Why nothing can be saved under a typed or pasted key (it is empty, or
// begins with a character a key cannot hold); empty when StoredKey has a key.
std::u16string KeyProblemText(std::u16string_view typed);

}  // namespace kwo::entries
