#include "settings/HeldFile.h"

#include <utility>

#include "base/ReplacingFile.h"
#include "settings/IniFile.h"
#include "text/Utf.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kwo::settings {

using kwo::ReplacingFile;

#ifdef _WIN32

namespace {

std::u16string SystemMessage(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string message;
  if (n > 0 && buffer) message.assign(buffer, buffer + n);
  if (buffer) LocalFree(buffer);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' '))
    message.pop_back();
  if (message.empty()) message = u"错误代码 " + text::Ascii(std::to_string(error));
  return message;
}

// The cause an IniError gives for a failure of the system.
std::u16string CauseOf(uint32_t error) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return kInUseCause;
  return SystemMessage(error);
}

[[noreturn]] void ThrowLastError(const std::filesystem::path& path) { throw IniError(CauseOf(GetLastError()), path); }

// CreateFileW's result owned, or the error thrown.
SystemFile CreateOrThrow(const std::filesystem::path& path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) ThrowLastError(path);
  return SystemFile(h);
}

}  // namespace

HeldFile::HeldFile(std::filesystem::path path) : path_(std::move(path)) {
  const DWORD attributes = GetFileAttributesW(path_.c_str());
  readOnly_ = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  const DWORD access = readOnly_ ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  HANDLE h = CreateFileW(path_.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  if (h == INVALID_HANDLE_VALUE && (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)) {
    // A medium or an access list that refuses writing: read it as a read-only file.
    if (attributes == INVALID_FILE_ATTRIBUTES) throw IniError(kFolderReadOnlyCause, path_);
    readOnly_ = true;
    file_ = CreateOrThrow(path_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    return;
  }
  if (h == INVALID_HANDLE_VALUE) throw IniError(CauseOf(error), path_);
  file_ = SystemFile(h);
}

std::string HeldFile::ReadAll() {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file_.get(), zero, nullptr, FILE_BEGIN)) ThrowLastError(path_);
  std::string bytes;
  char buffer[16384];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file_.get(), buffer, sizeof buffer, &got, nullptr)) ThrowLastError(path_);
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

#else

namespace {

// The cause an IniError gives for a failure of the system.
std::u16string CauseOf(uint32_t error) { return text::Utf8ToUtf16(std::strerror(static_cast<int>(error))); }

[[noreturn]] void ThrowErrno(int error, const std::filesystem::path& path) { throw IniError(CauseOf(error), path); }

}  // namespace

HeldFile::HeldFile(std::filesystem::path path) : path_(std::move(path)) {
  struct stat existing {};
  const bool exists = ::stat(path_.c_str(), &existing) == 0;
  readOnly_ = exists && (existing.st_mode & S_IWUSR) == 0;
  file_ = SystemFile(::open(path_.c_str(), (readOnly_ ? O_RDONLY : O_RDWR | O_CREAT) | O_CLOEXEC, 0666));
  if (!file_ && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    // A medium or a mount that refuses writing (root included): read it as a read-only file.
    if (!exists) throw IniError(kFolderReadOnlyCause, path_);
    readOnly_ = true;
    file_ = SystemFile(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  }
  if (!file_) ThrowErrno(errno, path_);
}

std::string HeldFile::ReadAll() {
  std::string bytes;
  char buffer[16384];
  off_t offset = 0;
  for (;;) {
    const ssize_t n = ::pread(file_.get(), buffer, sizeof buffer, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno, path_);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return bytes;
}

#endif

void ReplaceHeldFile(HeldFile& file, std::string_view bytes, const std::function<void()>& beforeReplace) {
  const std::filesystem::path path = file.Path();
  // Replacing would clear the read-only mark the user set.
  if (file.ReadOnly()) throw IniError(kReadOnlyCause, path);
  ReplacingFile out;
  if (!out.Create(path) || !out.Write(bytes) || !out.Flush()) throw IniError(CauseOf(out.SystemError()), out.FailedPath());
  // An exception here leaves the complete temporary file, as a crash would.
  if (beforeReplace) beforeReplace();
  // Our own handle is let go for the swap: a replaced file that is still open
  // cannot be renamed over on every Windows version.
  file.Close();
  if (!out.Replace()) {
    IniError failure(CauseOf(out.SystemError()), path);
    try {
      file = HeldFile(path);
    } catch (const IniError&) {
      // The failure to report is the one of the replace.
    }
    throw failure;
  }
  file = HeldFile(path);
}

}  // namespace kwo::settings
