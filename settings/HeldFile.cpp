#include "settings/HeldFile.h"

#include <algorithm>
#include <utility>

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

std::filesystem::path TempPathFor(const std::filesystem::path& path) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  return temp;
}

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
std::u16string CauseOf(DWORD error) {
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

void SystemFileTraits::Release(Handle file) { CloseHandle(static_cast<HANDLE>(file)); }

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

void ReplaceHeldFile(HeldFile& file, std::string_view bytes, const std::function<void()>& beforeReplace) {
  const std::filesystem::path path = file.Path();
  const std::filesystem::path temp = TempPathFor(path);
  // Replacing would clear the read-only mark the user set.
  if (file.ReadOnly()) throw IniError(kReadOnlyCause, path);
  {
    SystemFile out = CreateOrThrow(temp, GENERIC_WRITE, 0, CREATE_ALWAYS);
    size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
      DWORD written = 0;
      if (!WriteFile(out.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
        const DWORD error = GetLastError();
        out.reset();
        DeleteFileW(temp.c_str());
        throw IniError(SystemMessage(error), temp);
      }
      done += written;
    }
    // Closed here, not at scope end: a failed close is a failed save, and the
    // temporary file can be deleted only once it is closed.
    const bool flushed = FlushFileBuffers(out.get()) != FALSE;
    const DWORD flushError = GetLastError();
    const bool closed = CloseHandle(out.release()) != FALSE;
    if (!flushed || !closed) {
      const DWORD error = flushed ? GetLastError() : flushError;
      DeleteFileW(temp.c_str());
      throw IniError(SystemMessage(error), temp);
    }
  }
  if (beforeReplace) beforeReplace();
  // Our own handle is let go for the swap: a replaced file that is still open
  // cannot be renamed over on every Windows version.
  file.Close();
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    DeleteFileW(temp.c_str());
    try {
      file = HeldFile(path);
    } catch (const IniError&) {
      // The failure to report is the one of the replace.
    }
    throw IniError(CauseOf(error), path);
  }
  file = HeldFile(path);
}

#else

namespace {

[[noreturn]] void ThrowErrno(int error, const std::filesystem::path& path) {
  throw IniError(text::Utf8ToUtf16(std::strerror(error)), path);
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

void SyncFolderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  const SystemFile dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());  // best effort: the rename itself is done
}

}  // namespace

void SystemFileTraits::Release(Handle file) { ::close(file); }

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

void ReplaceHeldFile(HeldFile& file, std::string_view bytes, const std::function<void()>& beforeReplace) {
  const std::filesystem::path path = file.Path();
  const std::filesystem::path temp = TempPathFor(path);
  if (file.ReadOnly()) throw IniError(kReadOnlyCause, path);
  {
    SystemFile out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!out) ThrowErrno(errno, temp);
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::fchmod(out.get(), old.st_mode & 07777);
    // Closed here, not at scope end: a failed close is a failed save.
    if (!WriteAll(out.get(), bytes) || ::fsync(out.get()) != 0 || ::close(out.release()) != 0) {
      const int error = errno;
      ::unlink(temp.c_str());
      ThrowErrno(error, temp);
    }
  }
  if (beforeReplace) beforeReplace();
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    ThrowErrno(error, path);
  }
  SyncFolderOf(path);
  file = HeldFile(path);
}

#endif

}  // namespace kwo::settings
