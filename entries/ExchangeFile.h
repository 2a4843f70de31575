#pragma once
// Whole-file reading for import, and what is at a path before export writes it. Paths are
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

// Export writes through kwo::ReplacingFile (base/ReplacingFile.h): the file
// is replaced only once the new one is complete and on the disk.

}  // namespace kwo::entries
