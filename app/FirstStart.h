#pragma once
// The first start: when the program has just created its database, it tells
// the user once how to call the window up and how to add an entry.
#include <windows.h>

#include <string>

namespace kwo::app {

// Whether opening this connection will create the database: an SQLite
// connection whose file does not exist yet. Relative paths are taken from the
// current directory, as the store takes them.
bool StoreWillBeCreated(const std::u16string& connectionString);

// The notice, titled "欢迎使用疾书精灵", modal over `owner`.
void ShowFirstStartNotice(HWND owner);

}  // namespace kwo::app
