#pragma once
// kwo.ini as an ordered tree of sections and keys, loaded and saved whole.
// The file is code page 936 with CR LF line ends; a file that holds a value
// code page 936 cannot represent is written as UTF-8 with a byte-order mark.
// Saving writes a new file beside the old one and replaces it only when the
// new one is complete, so a crash never leaves a truncated kwo.ini.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kwo::settings {

// The cause of an IniError for a key line before any section line.
constexpr char16_t kKeyOutsideSectionCause[] = u"第一个节（[…]）之前有键";
// The cause of an IniError for a save to a file marked read-only.
constexpr char16_t kReadOnlyCause[] = u"文件是只读的";
// kwo.ini is missing and its folder refuses new files (a write-protected
// medium or share, or an access list).
constexpr char16_t kFolderReadOnlyCause[] = u"文件夹不能写入，无法新建设置文件";
// Another program has the file open and lets nobody else write it (or read it).
constexpr char16_t kInUseCause[] = u"文件正被其他程序使用";

// A file that cannot be opened, read or written, or that cannot be parsed.
class IniError : public std::runtime_error {
 public:
  IniError(std::u16string cause, std::filesystem::path file);
  const std::u16string& Cause() const { return cause_; }
  const std::filesystem::path& File() const { return file_; }
  // "cause: file" for a message box.
  std::u16string Message() const;

 private:
  std::u16string cause_;
  std::filesystem::path file_;
};

class CIniSection;
class CIniFile;

class CIniKey {
 public:
  CIniKey(std::u16string name, CIniSection* section) : name_(std::move(name)), section_(section) {}
  const std::u16string& Name() const { return name_; }
  const std::u16string& Value() const { return value_; }
  void SetValue(std::u16string value) { value_ = std::move(value); }
  CIniSection* Section() const { return section_; }

 private:
  std::u16string name_;
  std::u16string value_;
  CIniSection* section_;
};

class CIniSection {
 public:
  CIniSection(std::u16string name, CIniFile* file) : name_(std::move(name)), file_(file) {}
  const std::u16string& Name() const { return name_; }
  CIniFile* File() const { return file_; }
  CIniKey* FindKey(std::u16string_view name) const;
  CIniKey* GetOrCreateKey(std::u16string_view name);
  // The keys in file order.
  const std::vector<std::unique_ptr<CIniKey>>& Keys() const { return keys_; }

 private:
  std::u16string name_;
  CIniFile* file_;
  std::vector<std::unique_ptr<CIniKey>> keys_;
  // Lower-cased name -> key: a file with many keys loads in linear time.
  std::unordered_map<std::u16string, CIniKey*> byName_;
};

class CIniFile {
 public:
  CIniFile();
  ~CIniFile();
  CIniFile(const CIniFile&) = delete;
  CIniFile& operator=(const CIniFile&) = delete;

  // Opens the file (creating it empty if missing) and parses it. The file
  // stays open until Close; meanwhile other programs may read it but not
  // write it (Windows). Throws IniError; the store is closed then.
  void Load(const std::filesystem::path& path);
  // Rebuilds the tree from the loaded file's text. Throws IniError
  // ("第一个节（[…]）之前有键") for a key line before any section line.
  void Parse();
  // Writes the whole tree back: "[name]" lines, each followed by its
  // "name=value" lines. A line end inside a name or value is written as a
  // space. Throws IniError; the old file stays intact then.
  void Save();
  void Close();
  void RemoveAll();

  std::u16string GetString(std::u16string_view section, std::u16string_view key) const;
  int32_t GetInt(std::u16string_view section, std::u16string_view key) const;
  void SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  void SetInt(std::u16string_view section, std::u16string_view key, int32_t value);

  CIniSection* FindSection(std::u16string_view name) const;
  CIniSection* GetOrCreateSection(std::u16string_view name);
  const std::vector<std::unique_ptr<CIniSection>>& Sections() const { return sections_; }

  // The parse and the layout of the file without the disk: Parse and Save
  // use these on the lines of the file (line ends removed).
  void ParseLines(const std::vector<std::u16string>& lines);
  std::vector<std::u16string> FormatLines() const;
  // The loaded file's path; empty before Load and after Close.
  const std::filesystem::path& Path() const;
  // Called by Save after the new content is on the disk and before it
  // replaces the old file. Tests throw from it to stand for a crash there.
  void SetBeforeReplaceHook(std::function<void()> hook);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<std::unique_ptr<CIniSection>> sections_;
  // Lower-cased name -> section.
  std::unordered_map<std::u16string, CIniSection*> byName_;
};

}  // namespace kwo::settings
