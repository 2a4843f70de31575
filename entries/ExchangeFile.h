#pragma once
// Whole-file reading and writing for import and export. Paths are
// std::filesystem::path, so Chinese file names work on Windows and elsewhere.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/UniqueResource.h"

namespace kwo::entries {

struct StdioFileTraits {
  using Handle = std::FILE*;
  static void Release(std::FILE* file) { std::fclose(file); }
};
using FileHandle = kwo::UniqueResource<StdioFileTraits>;

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes);

// What is at a path before it is written over.
enum class FileState { Missing, Writable, ReadOnly };
FileState StateOf(const std::filesystem::path& path);

// A file written through a temporary one beside it ("<name>.tmp"), which
// Close flushes to the disk and then puts in the file's place. Close reports
// whether every byte reached the file: a full disk, a removed drive or a
// file that cannot be replaced makes it false; Refused then tells whether
// every byte was written and only the system's refusal to replace the file
// stopped it. A read-only file stays read-only after it is replaced. On
// failure, and when the object goes without Close, the temporary file is
// removed and an existing file stays as it was.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const std::filesystem::path& path);
  bool Write(std::string_view bytes);
  bool Close();
  bool IsOpen() const { return static_cast<bool>(file_); }
  bool Refused() const { return refused_; }

 private:
  void Abandon();

  FileHandle file_;
  std::filesystem::path path_;
  std::filesystem::path temp_;
  bool failed_ = false;
  bool refused_ = false;
};

}  // namespace kwo::entries
