#pragma once
// A file written through a temporary file beside it ("<name>.tmp"): the
// bytes go to the temporary file, Flush puts them on the disk and closes it,
// Replace puts it in the file's place (the folder's entry made durable too).
// Until Replace, an existing file stays as it was; a failed step removes the
// temporary file and records the system's error. The target's read-only
// state is kept: a read-only file is replaced by a read-only one.
//
// Close is Flush then Replace. A writer that goes without Close while the
// temporary file is open removes it; one flushed and never replaced (a crash
// between the two steps) leaves it for the next save to write over.
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "base/UniqueResource.h"

namespace kwo {

// An open file of the system: a HANDLE on Windows, a descriptor elsewhere.
struct SystemFileTraits {
#ifdef _WIN32
  using Handle = void*;  // HANDLE; a failed CreateFileW is never stored
#else
  using Handle = int;
  static int Empty() { return -1; }
#endif
  static void Release(Handle file);
};
using SystemFile = UniqueResource<SystemFileTraits>;

// Where a replacing write puts the new content first.
std::filesystem::path TempPathFor(const std::filesystem::path& path);

class ReplacingFile {
 public:
  // The step that failed: the temporary file's creation, its writing and
  // flushing, or the replacing of the file (every byte was on the disk).
  enum class Step { None, Create, Write, Replace };

  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file for `path` (emptying a leftover one).
  bool Create(const std::filesystem::path& path);
  bool Write(std::string_view bytes);
  // Puts every byte on the disk and closes the temporary file.
  bool Flush();
  // Puts the flushed temporary file in the file's place.
  bool Replace();
  bool Close() { return Flush() && Replace(); }

  bool IsOpen() const { return static_cast<bool>(file_); }
  Step FailedStep() const { return failedStep_; }
  // The system's error code of the failed step (GetLastError or errno).
  uint32_t SystemError() const { return systemError_; }
  // The file the failed step concerned: the temporary one, or the target for Replace.
  const std::filesystem::path& FailedPath() const { return failedStep_ == Step::Replace ? path_ : temp_; }

 private:
  bool Fail(Step step);

  SystemFile file_;
  std::filesystem::path path_;
  std::filesystem::path temp_;
  bool flushed_ = false;
  Step failedStep_ = Step::None;
  uint32_t systemError_ = 0;
};

}  // namespace kwo
