// Arbitrary bytes as kwo.ini: the parse Load uses must not fail other than
// with IniError, and what a save writes must parse back to the same tree and
// save to the same bytes again.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "settings/IniEncoding.h"
#include "settings/IniFile.h"
#include "text/Chars.h"

using kwo::settings::CIniFile;
using kwo::settings::DecodeIniLines;
using kwo::settings::EncodeIniLines;
using kwo::settings::IniError;

using kwo::fuzz::Check;

namespace {

bool IsTrimmed(std::u16string_view name) { return kwo::text::TrimSpace(name) == name; }

// Names trimmed and unique without regard to case; no line ends inside.
void CheckInvariants(const CIniFile& ini) {
  const auto& sections = ini.Sections();
  for (size_t i = 0; i < sections.size(); ++i) {
    const auto& section = *sections[i];
    Check(IsTrimmed(section.Name()));
    Check(section.Name().find(u'\n') == std::u16string::npos);
    Check(ini.FindSection(section.Name()) == &section);
    for (const auto& key : section.Keys()) {
      Check(!key->Name().empty() && IsTrimmed(key->Name()));
      Check(key->Name().find(u'=') == std::u16string::npos);
      Check(key->Value().find(u'\n') == std::u16string::npos);
      Check(section.FindKey(key->Name()) == key.get());
    }
  }
}

void CheckSameTree(const CIniFile& a, const CIniFile& b) {
  Check(a.Sections().size() == b.Sections().size());
  for (size_t i = 0; i < a.Sections().size(); ++i) {
    const auto& sa = *a.Sections()[i];
    const auto& sb = *b.Sections()[i];
    Check(sa.Name() == sb.Name());
    Check(sa.Keys().size() == sb.Keys().size());
    for (size_t k = 0; k < sa.Keys().size(); ++k) {
      Check(sa.Keys()[k]->Name() == sb.Keys()[k]->Name());
      Check(sa.Keys()[k]->Value() == sb.Keys()[k]->Value());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CIniFile first;
  try {
    first.ParseLines(DecodeIniLines(bytes));
  } catch (const IniError& e) {
    Check(e.Cause() == u"第一个节（[…]）之前有键");
    Check(first.Sections().empty());
    return 0;
  }
  CheckInvariants(first);

  const std::string saved = EncodeIniLines(first.FormatLines());
  CIniFile second;
  second.ParseLines(DecodeIniLines(saved));  // a saved file always parses
  CheckSameTree(first, second);
  Check(EncodeIniLines(second.FormatLines()) == saved);
  return 0;
}
