#pragma once
// The file-I/O seam of the INI store. A HeldFile keeps kwo.ini open while a
// CIniFile has it loaded; ReplaceHeldFile writes the new content beside it and
// swaps it in only when that copy is complete and on the disk.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "base/ReplacingFile.h"

namespace kwo::settings {

using kwo::SystemFile;
using kwo::TempPathFor;

class HeldFile {
 public:
  HeldFile() = default;
  // Opens the file for reading and writing, creating it empty if it is
  // missing; other programs may read it but not write it. A read-only file
  // is opened for reading only, and is never replaced. Throws IniError.
  explicit HeldFile(std::filesystem::path path);
  HeldFile(HeldFile&& other) noexcept = default;
  HeldFile& operator=(HeldFile&& other) noexcept = default;
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool IsOpen() const { return static_cast<bool>(file_); }
  // The file is marked read-only (the read-only attribute; no write permission
  // for its owner), or the system refuses writing it (a write-protected
  // medium, a read-only mount, an access list).
  bool ReadOnly() const { return readOnly_; }
  const std::filesystem::path& Path() const { return path_; }
  // The whole content from the start. Throws IniError.
  std::string ReadAll();
  void Close() { file_.reset(); }

 private:
  SystemFile file_;
  std::filesystem::path path_;
  bool readOnly_ = false;
};

// Writes `bytes` to TempPathFor(file.Path()) (kwo::ReplacingFile), flushes that file to the disk,
// calls `beforeReplace` (a hook for tests; an exception from it stops the save
// as a crash would), then replaces the file with the new one and holds that.
// On failure the old file is left as it was. Throws IniError, with the cause
// kReadOnlyCause for a read-only file, which is left untouched.
void ReplaceHeldFile(HeldFile& file, std::string_view bytes, const std::function<void()>& beforeReplace);

}  // namespace kwo::settings
