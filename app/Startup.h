#pragma once
// Start-up before the main window: where the program's files are, kwo.ini
// read into the settings the window uses, and the database it names opened.
// The window gets all of it made; tests make it from files of their own.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "keys/HotKey.h"
#include "settings/Options.h"
#include "store/AdoDataBase.h"

namespace kwo::app {

// The program cannot start: the text says which file and why (what() has it in UTF-8).
class StartupError : public std::runtime_error {
 public:
  explicit StartupError(std::wstring text);
  const std::wstring& Text() const { return text_; }

 private:
  std::wstring text_;
};

// The program's files by full path, so that messages name them exactly.
struct ProgramPaths {
  std::wstring iniFile;   // kwo.ini
  std::wstring helpFile;  // kwo.chm

  // kwo.ini and kwo.chm in `folder` (which ends with a path separator).
  static ProgramPaths In(const std::wstring& folder);
};

// Makes the program's folder the current directory, so that relative names
// (the database file of the connection string) are taken from it, and returns
// its files.
ProgramPaths EnterProgramFolder();

// kwo.ini as the main window uses it.
struct StartSettings {
  kwo::settings::Options options;
  kwo::keys::HotKey hotKey;       // [Options] HotKey; Win + Space when missing or unusable
  std::wstring notice;            // settings not used as written, told once; empty when none
  std::vector<std::pair<std::wstring, std::wstring>> menuLinks;  // [Menu]: (menu text, target)
  std::u16string connectionString;  // [sys]; the default when the key is missing
  std::filesystem::file_time_type written;  // of the file when it was read
};

// Reads `iniFile` (created empty when missing); throws StartupError when it cannot be read.
StartSettings ReadStartSettings(const std::wstring& iniFile);

// The connection string of `iniFile` (the default when it has none); throws
// settings::IniError when the file cannot be read.
std::u16string ReadConnectionStringOf(const std::wstring& iniFile);

// Everything start-up hands the main window, made at construction.
class CStartup {
 public:
  // Reads paths.iniFile and opens the database it names. Throws StartupError
  // when either cannot be done.
  explicit CStartup(ProgramPaths paths);
  CStartup(const CStartup&) = delete;
  CStartup& operator=(const CStartup&) = delete;

  const ProgramPaths paths;
  StartSettings settings;
  kwo::store::CADODataBase store;  // open
  bool storeCreated = false;       // this start created the database
};

}  // namespace kwo::app
