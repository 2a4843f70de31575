#include "entries/ExchangeFile.h"

#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
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

bool ReplaceWith(const std::filesystem::path& temp, const std::filesystem::path& path) {
#ifdef _WIN32
  return MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
#else
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
  if (!failed_ && !ReplaceWith(temp_, path_)) failed_ = true;
  if (failed_) {
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
  }
  return !failed_;
}

}  // namespace kwo::entries
