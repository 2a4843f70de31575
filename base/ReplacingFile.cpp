#include "base/ReplacingFile.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kwo {

std::filesystem::path TempPathFor(const std::filesystem::path& path) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  return temp;
}

namespace {

#ifdef _WIN32

uint32_t LastError() { return GetLastError(); }

SystemFile CreateTemp(const std::filesystem::path& temp) {
  HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? SystemFile() : SystemFile(h);
}

bool WriteAll(void* file, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

bool FlushAndClose(SystemFile& file) {
  // Closed here: a failed close is a failed write, and the file can be
  // removed only once it is closed.
  const bool flushed = FlushFileBuffers(file.get()) != FALSE;
  const DWORD flushError = GetLastError();
  const bool closed = CloseHandle(file.release()) != FALSE;
  if (!flushed) SetLastError(flushError);
  return flushed && closed;
}

void RemoveFile(const std::filesystem::path& path) { DeleteFileW(path.c_str()); }

// The system will not replace a read-only file: its mark is lifted for the
// move and set again after it, on the new file or, when the move failed, on
// the old one.
bool MoveInPlace(const std::filesystem::path& temp, const std::filesystem::path& path) {
  const DWORD old = GetFileAttributesW(path.c_str());
  const bool readOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !SetFileAttributesW(path.c_str(), old & ~FILE_ATTRIBUTE_READONLY)) return false;
  const bool moved =
      MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  const DWORD error = GetLastError();
  if (readOnly) {
    const DWORD now = GetFileAttributesW(path.c_str());
    if (now != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.c_str(), now | FILE_ATTRIBUTE_READONLY);
  }
  if (!moved) SetLastError(error);
  return moved;
}

#else

uint32_t LastError() { return static_cast<uint32_t>(errno); }

SystemFile CreateTemp(const std::filesystem::path& temp) {
  return SystemFile(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
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

bool FlushAndClose(SystemFile& file) {
  if (::fsync(file.get()) != 0) {
    const int error = errno;
    file.reset();
    errno = error;
    return false;
  }
  return ::close(file.release()) == 0;
}

void RemoveFile(const std::filesystem::path& path) { ::unlink(path.c_str()); }

// The new file gets the old one's permissions (a file without write
// permission stays so); the folder's entry is made durable after the rename.
bool MoveInPlace(const std::filesystem::path& temp, const std::filesystem::path& path) {
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && ::chmod(temp.c_str(), old.st_mode & 07777) != 0) return false;
  if (std::rename(temp.c_str(), path.c_str()) != 0) return false;
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  const SystemFile dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir) ::fsync(dir.get());  // best effort: the rename itself is done
  return true;
}

#endif

}  // namespace

#ifdef _WIN32
void SystemFileTraits::Release(Handle file) { CloseHandle(static_cast<HANDLE>(file)); }
#else
void SystemFileTraits::Release(Handle file) { ::close(file); }
#endif

ReplacingFile::~ReplacingFile() {
  if (!file_) return;
  file_.reset();
  RemoveFile(temp_);
}

bool ReplacingFile::Fail(Step step) {
  systemError_ = LastError();
  failedStep_ = step;
  file_.reset();
  RemoveFile(temp_);
  flushed_ = false;
  return false;
}

bool ReplacingFile::Create(const std::filesystem::path& path) {
  if (file_) {
    file_.reset();
    RemoveFile(temp_);
  }
  path_ = path;
  temp_ = TempPathFor(path);
  flushed_ = false;
  failedStep_ = Step::None;
  systemError_ = 0;
  file_ = CreateTemp(temp_);
  if (!file_) {
    systemError_ = LastError();
    failedStep_ = Step::Create;
    return false;
  }
  return true;
}

bool ReplacingFile::Write(std::string_view bytes) {
  if (!file_) return false;
  return WriteAll(file_.get(), bytes) || Fail(Step::Write);
}

bool ReplacingFile::Flush() {
  if (!file_) return false;
  if (!FlushAndClose(file_)) return Fail(Step::Write);
  flushed_ = true;
  return true;
}

bool ReplacingFile::Replace() {
  if (!flushed_) return false;
  flushed_ = false;
  return MoveInPlace(temp_, path_) || Fail(Step::Replace);
}

}  // namespace kwo
