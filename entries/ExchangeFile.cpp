#include "entries/ExchangeFile.h"

namespace kwo::entries {

namespace {
std::FILE* OpenFile(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
  return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), write ? "wb" : "rb");
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

bool OutputFile::Create(const std::filesystem::path& path) {
  file_.reset(OpenFile(path, true));
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
  if (std::fflush(file_.get()) != 0) failed_ = true;
  if (std::fclose(file_.release()) != 0) failed_ = true;
  return !failed_;
}

}  // namespace kwo::entries
