#pragma once
// The connection string: "Key=Value" pairs separated by ";", keys matched
// without regard to case, white space around keys and values ignored. A value
// may be enclosed in double quotes to hold ";" (a doubled quote inside stands
// for one). Keys:
//   Provider     required; "SQLite" is the engine this build has
//   Data Source  required; the database file, a relative path taken from the
//                current directory; created with its table when missing
//   Busy Timeout optional; milliseconds to wait for another process's lock (default 5000)
// Example: Provider=SQLite;Data Source=kwo.db
#include <cstdint>
#include <string>
#include <string_view>

namespace kwo::store {

constexpr int kDefaultBusyTimeoutMs = 5000;

struct ConnectionSettings {
  std::u16string provider;
  std::u16string dataSource;
  int busyTimeoutMs = kDefaultBusyTimeoutMs;
};

// False with a message naming the fault when the string is malformed, names
// an unknown key or lacks a required one.
bool ParseConnectionString(std::u16string_view text, ConnectionSettings& settings, std::u16string& message);

// kwo.db in the current directory, which start-up makes the program's folder.
std::u16string DefaultConnectionString();

}  // namespace kwo::store
