#include "entries/ExchangeFile.h"

#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kwo::entries {

namespace {
std::FILE* OpenFile(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
  return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

// Flushes the C library's buffer and the system's cache of the file to the disk.
bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

// Puts temp in path's place; the new file keeps the old one's read-only state
// (the system will not replace a read-only file, so it is lifted for the move
// and set again after it, or on the old file when the move fails).
bool ReplaceWith(const std::filesystem::path& temp, const std::filesystem::path& path) {
#ifdef _WIN32
  const DWORD old = GetFileAttributesW(path.c_str());
  const bool readOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !SetFileAttributesW(path.c_str(), old & ~FILE_ATTRIBUTE_READONLY)) return false;
  const bool moved =
      MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  if (readOnly) {
    const DWORD now = GetFileAttributesW(path.c_str());
    if (now != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.c_str(), now | FILE_ATTRIBUTE_READONLY);
  }
  return moved;
#else
  struct stat old {};
  if (stat(path.c_str(), &old) == 0 && chmod(temp.c_str(), old.st_mode & 07777) != 0) return false;
  return std::rename(temp.c_str(), path.c_str()) == 0;
#endif
}
}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  bytes.clear();
  FileHandle file(OpenFile(path, false));
  if (!file) return false;
  char buffer[64 * 1024];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
  return std::ferror(file.get()) == 0;
}

FileState StateOf(const std::filesystem::path& path) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileState::Missing;
  return (attributes & FILE_ATTRIBUTE_READONLY) ? FileState::ReadOnly : FileState::Writable;
#else
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return FileState::Missing;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) ? FileState::Writable : FileState::ReadOnly;
#endif
}

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Abandon() {
  if (!file_) return;
  file_.reset();
  std::error_code ignored;
  std::filesystem::remove(temp_, ignored);
}

bool OutputFile::Create(const std::filesystem::path& path) {
  Abandon();
  path_ = path;
  temp_ = path;
  temp_ += ".tmp";
  file_.reset(OpenFile(temp_, true));
  failed_ = false;
  refused_ = false;
  return static_cast<bool>(file_);
}

bool OutputFile::Write(std::string_view bytes) {
  if (!file_) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) failed_ = true;
  return !failed_;
}

bool OutputFile::Close() {
  if (!file_) return false;
  if (failed_ || !FlushToDisk(file_.get())) failed_ = true;
  if (std::fclose(file_.release()) != 0) failed_ = true;
  if (!failed_ && !ReplaceWith(temp_, path_)) failed_ = refused_ = true;
  if (failed_) {
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
  }
  return !failed_;
}

}  // namespace kwo::entries
