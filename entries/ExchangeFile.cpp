#include "entries/ExchangeFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace kwo::entries {

namespace {
std::FILE* OpenForReading(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"rb");
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes) {
  bytes.clear();
  FileHandle file(OpenForReading(path));
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

}  // namespace kwo::entries
