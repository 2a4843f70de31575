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

// A file created (or emptied) for writing. Close reports whether every byte
// reached the file: a full disk or a removed drive makes it false.
class OutputFile {
 public:
  bool Create(const std::filesystem::path& path);
  bool Write(std::string_view bytes);
  bool Close();
  bool IsOpen() const { return static_cast<bool>(file_); }

 private:
  FileHandle file_;
  bool failed_ = false;
};

}  // namespace kwo::entries
