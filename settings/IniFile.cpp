#include "settings/IniFile.h"

#include "settings/HeldFile.h"
#include "settings/IniEncoding.h"
#include "text/Chars.h"
#include "text/Utf.h"

namespace kwo::settings {

namespace {

std::string NarrowMessage(const std::u16string& cause, const std::filesystem::path& file) {
  return text::Utf16ToUtf8(cause) + ": " + text::Utf16ToUtf8(file.u16string());
}

// A line cannot hold a line end: a set value with one would split into lines
// that read back as other keys or sections, so it is written as a space.
std::u16string OneLine(std::u16string line) {
  for (char16_t& unit : line) {
    if (unit == u'\n') unit = u' ';
  }
  return line;
}

// Names are found without regard to case, as EqualNoCase compares them.
std::u16string NameKey(std::u16string_view name) {
  std::u16string key(text::TrimSpace(name));
  for (char16_t& unit : key) unit = text::LowerUnit(unit);
  return key;
}

}  // namespace

IniError::IniError(std::u16string cause, std::filesystem::path file)
    : std::runtime_error(NarrowMessage(cause, file)), cause_(std::move(cause)), file_(std::move(file)) {}

std::u16string IniError::Message() const { return cause_ + u": " + file_.u16string(); }

CIniKey* CIniSection::FindKey(std::u16string_view name) const {
  const auto found = byName_.find(NameKey(name));
  return found == byName_.end() ? nullptr : found->second;
}

CIniKey* CIniSection::GetOrCreateKey(std::u16string_view name) {
  CIniKey*& slot = byName_[NameKey(name)];
  if (!slot) {
    keys_.push_back(std::make_unique<CIniKey>(std::u16string(text::TrimSpace(name)), this));
    slot = keys_.back().get();
  }
  return slot;
}

struct CIniFile::Impl {
  HeldFile file;
  std::filesystem::path path;
  std::function<void()> beforeReplace;
};

CIniFile::CIniFile() : impl_(std::make_unique<Impl>()) {}

CIniFile::~CIniFile() { Close(); }

void CIniFile::Load(const std::filesystem::path& path) {
  Close();
  impl_->file = HeldFile(path);
  impl_->path = path;
  try {
    Parse();
  } catch (...) {
    Close();
    throw;
  }
}

void CIniFile::Parse() {
  RemoveAll();
  if (!impl_->file.IsOpen()) throw IniError(u"没有载入文件", impl_->path);
  ParseLines(DecodeIniLines(impl_->file.ReadAll()));
}

void CIniFile::ParseLines(const std::vector<std::u16string>& lines) {
  RemoveAll();
  CIniSection* current = nullptr;
  for (const auto& raw : lines) {
    const std::u16string_view line = text::TrimSpace(raw);
    if (line.empty()) continue;
    if (line.front() == u'[' && line.back() == u']' && line.size() >= 2) {
      current = GetOrCreateSection(line.substr(1, line.size() - 2));
      continue;
    }
    const size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos || equals == 0) continue;
    if (!current) {
      RemoveAll();
      throw IniError(kKeyOutsideSectionCause, impl_->path);
    }
    current->GetOrCreateKey(line.substr(0, equals))->SetValue(std::u16string(line.substr(equals + 1)));
  }
}

std::vector<std::u16string> CIniFile::FormatLines() const {
  std::vector<std::u16string> lines;
  for (const auto& section : sections_) {
    lines.push_back(OneLine(u"[" + section->Name() + u"]"));
    for (const auto& key : section->Keys()) lines.push_back(OneLine(key->Name() + u"=" + key->Value()));
  }
  return lines;
}

void CIniFile::Save() {
  if (!impl_->file.IsOpen()) throw IniError(u"没有载入文件", impl_->path);
  ReplaceHeldFile(impl_->file, EncodeIniLines(FormatLines()), impl_->beforeReplace);
}

void CIniFile::Close() {
  RemoveAll();
  impl_->file.Close();
  impl_->path.clear();
}

void CIniFile::RemoveAll() {
  byName_.clear();
  sections_.clear();
}

const std::filesystem::path& CIniFile::Path() const { return impl_->path; }

void CIniFile::SetBeforeReplaceHook(std::function<void()> hook) { impl_->beforeReplace = std::move(hook); }

std::u16string CIniFile::GetString(std::u16string_view section, std::u16string_view key) const {
  const CIniSection* s = FindSection(section);
  const CIniKey* k = s ? s->FindKey(key) : nullptr;
  return k ? k->Value() : std::u16string();
}

int32_t CIniFile::GetInt(std::u16string_view section, std::u16string_view key) const {
  return text::ParseDecimal(GetString(section, key));
}

void CIniFile::SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  GetOrCreateSection(section)->GetOrCreateKey(key)->SetValue(std::u16string(value));
}

void CIniFile::SetInt(std::u16string_view section, std::u16string_view key, int32_t value) {
  SetString(section, key, text::FormatDecimal(value));
}

CIniSection* CIniFile::FindSection(std::u16string_view name) const {
  const auto found = byName_.find(NameKey(name));
  return found == byName_.end() ? nullptr : found->second;
}

CIniSection* CIniFile::GetOrCreateSection(std::u16string_view name) {
  CIniSection*& slot = byName_[NameKey(name)];
  if (!slot) {
    sections_.push_back(std::make_unique<CIniSection>(std::u16string(text::TrimSpace(name)), this));
    slot = sections_.back().get();
  }
  return slot;
}

}  // namespace kwo::settings
