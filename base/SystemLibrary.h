#pragma once
// Functions of Windows' own libraries looked up at their first use, for calls
// that older systems lack and for libraries the program's start should not
// load (the common dialogs, ODBC). Only the system folder is searched: a
// library of the same name beside kwo.exe, or in the current folder, is never
// loaded. Windows only.
#include <windows.h>

namespace kwo {

// The system library NAME ("comdlg32.dll"): the one already loaded, or loaded
// now from the system folder; it stays loaded. nullptr when there is none.
inline HMODULE SystemLibrary(const wchar_t* name) {
  if (HMODULE loaded = GetModuleHandleW(name)) return loaded;
  return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The function NAME of the system library LIBRARY as a Fn (a function
// pointer type); nullptr when the library or the function is missing. Callers
// keep the result in a static, so that each is looked up once.
template <class Fn>
Fn SystemFunction(const wchar_t* library, const char* name) {
  HMODULE module = SystemLibrary(library);
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace kwo
